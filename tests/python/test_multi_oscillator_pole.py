"""Past the reference isotherm's spinodal (K = 0 at 1.5588 V0 on this Vinet isotherm) the multi-oscillator
model refuses the volume: inversions that reach it end with that refusal at once."""

from conftest import raises
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import EosValidationError

V0 = 1.1248
MESSAGE = ("invalid state variable volume: lies past the reference isotherm's spinodal, where its bulk modulus is "
           "not positive")


def test_inversions_crossing_the_spinodal_end_with_its_refusal():
    model = ThermalEos.multi_oscillator_gruneisen(
        RtEos.vinet(V0, 160.2, 4.03), tr=300.0, qe1o=700.0, me1=1.0, qe2o=900.0, me2=0.5, delta=1.0, t=1.0,
        a_0=1e-5, m=1.0, g=1e-5, e_0=1.0, beta=0.0, qbo=1.0, d=1.0, mb=0.0, qb1o=1.0, d1=1.0, mb1=0.0, n=2.0)
    # At 20000 K the pressure has a minimum near 30 GPa: the upward search for 10 GPa steps past the
    # spinodal at its tenth candidate, 1.05^10 V0 = 1.629 V0.
    for quantity, first, second in [("volume", 10.0, 2e4), ("temperature", 10.0, 1.6 * V0)]:
        error = raises(EosValidationError, lambda: model.evaluate_scalar(quantity, first, second), MESSAGE)
        assert (error.code, error.operation, error.field) == ("eos.invalid_state", "eos", "volume")
