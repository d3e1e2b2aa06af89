"""The worker pool under settings and limits that refuse some or all of what it asks for: each case runs in
a fresh interpreter, since the pool reads its settings once, at its first parallel map."""

import os
import resource
import subprocess
import sys
from pathlib import Path

import pytest

# Counts the threads of the process around the first parallel maps (NumPy may run threads of its own), checks
# every map against scalar evaluation, and prints the number of threads the maps added.
PROBE = """
import os
import numpy as np
from nivaltus._engine import RtEos, ThermalEos

def threads():
    return len(os.listdir("/proc/self/task"))

model = RtEos.vinet(10.0, 160.0, 4.0)
thermal = ThermalEos.linear_thermal_pressure(model, 300.0, 0.01)
volumes = np.linspace(6.0, 12.0, 70_000)                 # above the pressure threshold of 65535
pressures = np.linspace(-5.0, 50.0, 600)                 # above the volume threshold of 511
temperatures = np.linspace(300.0, 2000.0, volumes.size)  # above the thermal threshold of 2047
{prepare}
before = threads()
p = model.pressure_array(volumes)
v = model.volume_array(pressures)
t = thermal.evaluate_array("pressure", volumes, temperatures)
added = threads() - before
for k in range(0, volumes.size, 997):
    assert p[k] == model.pressure_scalar(volumes[k])
    assert t[k] == thermal.evaluate_scalar("pressure", volumes[k], temperatures[k])
for k in range(0, pressures.size, 37):
    assert v[k] == model.volume_scalar(pressures[k])
print(added, len(os.sched_getaffinity(0)))
"""

# Leaves the process 32 MiB of address space beyond what it maps now: the result arrays fit, but no thread
# stack does, neither the 256 MiB asked for nor the default one (256 MiB as well, under the stack limit that
# the interpreter is started with).
THREAD_STACK = 256 * 2**20
NO_THREAD_FITS = """
import resource
with open("/proc/self/status") as status:
    mapped = next(int(line.split()[1]) for line in status if line.startswith("VmSize:")) * 1024
resource.setrlimit(resource.RLIMIT_AS, (mapped + 32 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
"""


def large_default_stack():
    resource.setrlimit(resource.RLIMIT_STACK, (THREAD_STACK, resource.getrlimit(resource.RLIMIT_STACK)[1]))

RESTRICTED = "os.sched_setaffinity(0, sorted(os.sched_getaffinity(0))[:2])"

# (environment, preparation, workers expected from the logical processor count c)
CASES = [
    # A stack the system refuses: every worker starts on the default stack.
    ({"NIVALTUS_MIN_STACK": "1000000000000", "NIVALTUS_NUM_THREADS": "3"}, "", lambda c: 3),
    # Far more workers than processors: capped at four per processor.
    ({"NIVALTUS_NUM_THREADS": "100000"}, "", lambda c: 4 * c),
    # Invalid counts: one worker per processor.
    ({"NIVALTUS_NUM_THREADS": "-2"}, "", lambda c: c),
    ({"NIVALTUS_NUM_THREADS": "0"}, "", lambda c: c),
    # No worker can start at all: the maps run on the calling thread.
    ({"NIVALTUS_NUM_THREADS": "2", "NIVALTUS_MIN_STACK": str(THREAD_STACK)}, NO_THREAD_FITS, lambda c: 0),
    # The process may use two of the machine's processors: the cap and the default count follow those two.
    ({"NIVALTUS_NUM_THREADS": "100000"}, RESTRICTED, lambda c: 8),
    ({}, RESTRICTED, lambda c: 2),
]


@pytest.mark.parametrize("env, prepare, workers", CASES,
                         ids=["refused-stack", "capped-count", "negative-count", "zero-count", "no-thread",
                              "restricted-capped", "restricted-default"])
def test_pool_settings_and_refusals(env, prepare, workers):
    hard = resource.getrlimit(resource.RLIMIT_STACK)[1]
    if prepare == NO_THREAD_FITS and hard != resource.RLIM_INFINITY and hard < THREAD_STACK:
        pytest.skip("the stack limit cannot be raised")
    if prepare == RESTRICTED and len(os.sched_getaffinity(0)) < 3:
        pytest.skip("fewer than three processors: a set of two restricts nothing")
    process = subprocess.run([sys.executable, "-c", PROBE.format(prepare=prepare)], capture_output=True, text=True,
                             cwd=Path(__file__).parent, env=dict(os.environ, **env), timeout=120,
                             preexec_fn=large_default_stack if prepare == NO_THREAD_FITS else None)
    assert process.returncode == 0, process.stderr
    added, processors = map(int, process.stdout.split())
    assert added == workers(processors)
