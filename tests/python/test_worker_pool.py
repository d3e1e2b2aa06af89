"""The worker pool under settings and limits that refuse some or all it asks for, each in a fresh interpreter."""

import os
import resource

import pytest

from conftest import run_python

# Prints the number of threads the first parallel maps add (NumPy may run threads of its own) after checking
# the maps against scalar evaluation, in this process and in a forked child, which starts its own pool promptly.
PROBE = """
import os
import signal
import numpy as np
from nivaltus._engine import RtEos

model = RtEos.vinet(10.0, 160.0, 4.0)
volumes, pressures = np.linspace(6.0, 12.0, 70_000), np.linspace(-5.0, 50.0, 600)  # above both thresholds
{prepare}
before = len(os.listdir("/proc/self/task"))
p, v = model.pressure_array(volumes), model.volume_array(pressures)
added = len(os.listdir("/proc/self/task")) - before
assert all(p[k] == model.pressure_scalar(volumes[k]) for k in range(0, volumes.size, 997))
assert all(v[k] == model.volume_scalar(pressures[k]) for k in range(0, pressures.size, 37))
pid = os.fork()
if pid == 0:
    signal.alarm(10)  # a child left with the parent's pool, whose workers it does not have, would wait for ever
    os._exit(0 if np.array_equal(model.pressure_array(volumes), p) else 1)
code = os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])
assert code == 0, f"the forked child's map failed or did not end within 10 seconds (exit code {{code}})"
print(added, len(os.sched_getaffinity(0)))
"""

# Leaves 32 MiB of address space beyond what the process maps now: the results fit, but no thread stack does,
# neither the 256 MiB asked for nor the default one (256 MiB as well, under the stack limit set below).
THREAD_STACK = 256 * 2**20
NO_THREAD_FITS = """
import resource
mapped = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (mapped + 32 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
"""
RESTRICTED = "os.sched_setaffinity(0, sorted(os.sched_getaffinity(0))[:2])"  # two of the machine's processors


def large_default_stack():
    resource.setrlimit(resource.RLIMIT_STACK, (THREAD_STACK, resource.getrlimit(resource.RLIMIT_STACK)[1]))


# (environment, preparation, workers expected from the count c of processors the process may use)
CASES = {
    "refused-stack": ({"NIVALTUS_MIN_STACK": "1000000000000", "NIVALTUS_NUM_THREADS": "3"}, "", lambda c: 3),
    "small-stack-one": ({"NIVALTUS_MIN_STACK": "65536", "NIVALTUS_NUM_THREADS": "1"}, "", lambda c: 1),
    "capped-count": ({"NIVALTUS_NUM_THREADS": "100000"}, "", lambda c: 4 * c),
    "capped-beyond-size-t": ({"NIVALTUS_NUM_THREADS": "99999999999999999999999"}, "", lambda c: 4 * c),
    "zero-padded-count": ({"NIVALTUS_NUM_THREADS": "0000000000000000000000003"}, "", lambda c: 3),
    "negative-count": ({"NIVALTUS_NUM_THREADS": "-2"}, "", lambda c: c),
    "zero-count": ({"NIVALTUS_NUM_THREADS": "0"}, "", lambda c: c),
    "no-thread": ({"NIVALTUS_NUM_THREADS": "2", "NIVALTUS_MIN_STACK": str(THREAD_STACK)}, NO_THREAD_FITS, lambda c: 0),
    "restricted-capped": ({"NIVALTUS_NUM_THREADS": "100000"}, RESTRICTED, lambda c: 8),
    "restricted-default": ({}, RESTRICTED, lambda c: 2),
}


@pytest.mark.parametrize("case", list(CASES))
def test_pool_settings_and_refusals(case):
    env, prepare, workers = CASES[case]
    hard = resource.getrlimit(resource.RLIMIT_STACK)[1]
    if prepare == NO_THREAD_FITS and hard != resource.RLIM_INFINITY and hard < THREAD_STACK:
        pytest.skip("the stack limit cannot be raised")
    if prepare == RESTRICTED and len(os.sched_getaffinity(0)) < 3:
        pytest.skip("fewer than three processors: a set of two restricts nothing")
    process = run_python(PROBE.format(prepare=prepare), env,
                         preexec_fn=large_default_stack if prepare == NO_THREAD_FITS else None)
    added, processors = map(int, process.stdout.split())
    assert added == workers(processors)
