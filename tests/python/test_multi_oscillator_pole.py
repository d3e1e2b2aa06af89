"""Beyond the volume where the Grueneisen denominator 6 (3K - 2uP) reaches zero the multi-oscillator
model's integral does not exist: evaluations there, and volume searches that step there, end with
"eos.non_finite_result". Each runs in a fresh interpreter with a timeout, since integrating through
the pole used to take seconds per evaluation."""

import pytest

from conftest import run_python

# u = t - beta x^(1/3) = -0.5: on this BM3 isotherm the denominator 6 (3K + P) reaches zero at
# V/V0 = 1.5392, before the spinodal.
MODEL = """
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import EosNumericalError
V0 = 11.24
MODEL = ThermalEos.multi_oscillator_gruneisen(RtEos.bm3(V0, 160.0, 4.0), 300, 500, 2, 900, 1, 0.1, -0.5,
                                              10, 2, 1.5, 20, 0.0, 300, 1.5, 2, 600, 2, 1, 2)
"""


@pytest.mark.parametrize(
    "quantity, first, second",
    [
        ("thermal_pressure", "1.545 * V0", 2000.0),
        ("thermal_pressure", "1.6 * V0", 2000.0),
        ("pressure", "1.8 * V0", 2000.0),
        ("thermal_pressure", "2.5 * V0", 300.0),
        ("temperature", -20.0, "1.6 * V0"),
        ("volume", -40.0, 2000.0),
    ],
)
def test_beyond_the_pole_fails_as_non_finite(quantity, first, second):
    run_python(
        MODEL
        + f"""
try:
    MODEL.evaluate_scalar({quantity!r}, {first}, {second})
except EosNumericalError as error:
    assert error.code == "eos.non_finite_result", error.code
else:
    raise AssertionError("no error")
"""
    )



def test_volumes_past_the_pole_of_the_usual_oscillator_set_fail():
    # t = 0.5, beta = 0.2 over BM3: the denominator reaches zero near 1.739 V0. These volumes used to
    # take seconds each and return thermal pressures of 28 to 998 GPa; the volume inversion at 20000 K
    # used to search through the pole for tens of seconds.
    run_python(
        """
from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import EosNumericalError
V0 = 11.24
model = ThermalEos.multi_oscillator_gruneisen(
    RtEos.bm3(V0, 160.0, 4.0), tr=300.0, qe1o=500.0, me1=2.0, qe2o=900.0, me2=1.0, delta=0.1, t=0.5, a_0=10.0,
    m=2.0, g=1.5, e_0=20.0, beta=0.2, qbo=300.0, d=1.5, mb=2.0, qb1o=600.0, d1=2.0, mb1=1.0, n=2.0)
for ratio in (1.78, 1.81, 1.815, 1.82, 1.825):
    try:
        model.evaluate_scalar("thermal_pressure", ratio * V0, 2000.0)
    except EosNumericalError as error:
        assert error.code == "eos.non_finite_result", error.code
    else:
        raise AssertionError(ratio)
volume = model.evaluate_scalar("volume", 10.0, 2e4)
assert V0 < volume < 1.739 * V0, volume
assert abs(model.evaluate_scalar("pressure", volume, 2e4) - 10.0) <= 1e-7, volume
"""
    )
