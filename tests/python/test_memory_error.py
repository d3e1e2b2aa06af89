"""A result or an input copy too large for the machine is the caller's MemoryError: the interpreter survives and
nothing stays allocated. Each case runs in a fresh interpreter, so that a crash fails the test, not the run."""

import pytest

from conftest import run_python

MODELS = """
import numpy as np
import pytest
from nivaltus._engine import HugoniotEos, RtEos, ThermalEos
VINET = RtEos.vinet(1.1248, 160.2, 4.03)
THERMAL = ThermalEos.mie_gruneisen_debye(VINET, 300.0, 800.0, 1.5, 1.0, 2.0)
HUGONIOT = HugoniotEos.linear_us_up(10.0, 2.5, 3.0, 1.5, 0.0)
"""

# 2**40 elements read from one stored value: the input needs no memory, its 8 TB result does.
HUGE = "np.broadcast_to(np.array(1.0), (2**40,))"
WIDE = "np.broadcast_to(np.array(1.0), (2**20, 2**20))"


@pytest.mark.parametrize(
    "call",
    [
        f"VINET.pressure_array({HUGE})",
        f"VINET.bulk_modulus_array({WIDE})",
        f"RtEos.holzapfel(10.0, 160.0, 4.0, 2.0, 26.0).bulk_modulus_derivative_array({HUGE}, 1e-4)",
        f"VINET.volume_array({HUGE})",
        f"HUGONIOT.evaluate_array('shock_velocity', {HUGE})",
        f"THERMAL.evaluate_array('pressure', {HUGE}, {HUGE})",
        f"THERMAL.volume_with_dac_confinement_array({WIDE}, {WIDE}, 0.5)",
    ],
)
def test_result_too_large_raises_memory_error(call):
    run_python(MODELS + f"""
for attempt in range(2):
    with pytest.raises(MemoryError):
        {call}
assert VINET.pressure_array(np.array([1.0, 1.1])).shape == (2,)
""")


def test_failed_input_copy_releases_the_result_buffer():
    # With room for one 400 MB buffer but not two, a parallel two-input map gets its result buffer and fails on
    # the copy of its second input; a one-buffer evaluation of that size then succeeds: the first was released.
    run_python(MODELS + """
import resource
n = 50_000_000
volumes = np.broadcast_to(np.array(1.1), (n,))
VINET.pressure_array(np.full(100_000, 1.1))  # starts the worker pool before the cap
in_use = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (in_use + 600_000_000, resource.RLIM_INFINITY))
for attempt in range(3):
    with pytest.raises(MemoryError):
        THERMAL.evaluate_array("pressure", volumes, volumes)
    pressures = VINET.pressure_array(volumes)
    assert pressures.shape == (n,) and pressures[0] == pressures[-1] == VINET.pressure_scalar(1.1)
    del pressures
""", env={"NIVALTUS_NUM_THREADS": "2"})
