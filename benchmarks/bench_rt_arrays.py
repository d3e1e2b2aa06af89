"""Throughput of RtEos array evaluation against NumPy and SciPy baselines.

    python benchmarks/bench_rt_arrays.py [--size 10000000] [--repeat 5]

Each worker count runs in its own interpreter (NIVALTUS_NUM_THREADS, read when
the pool starts) and reports its best time; this script prints the ratios:
  * pressure_array on N volumes against the same BM3 formula as a NumPy
    expression, for 1, 2 and all workers, and the parallel efficiency
    t(1) / (workers * t(workers)) from 1 worker to all;
  * volume_array on 10^4 pressures against a per-element scipy.optimize.brentq loop;
  * the per-call cost of pressure_array on 10 elements and of pressure_scalar.
"""

import argparse
import json
import os
import subprocess
import sys
import time

from timing import best_time

V0, K0, K0_PRIME = 11.248, 160.2, 3.99


def per_call(function, calls):
    start = time.perf_counter()
    for _ in range(calls):
        function()
    return (time.perf_counter() - start) / calls


def bm3(v):
    """The BM3 pressure of a NumPy array of volumes, or of one Python float."""
    x = v / V0
    return 1.5 * K0 * (x ** (-7 / 3) - x ** (-5 / 3)) * (1 + 0.75 * (K0_PRIME - 4) * (x ** (-2 / 3) - 1))


def measure(size, repeat):
    """Runs in the child interpreter; prints one JSON line of timings in seconds."""
    import numpy as np
    from scipy.optimize import brentq

    from nivaltus._engine import RtEos

    model = RtEos.bm3(V0, K0, K0_PRIME)
    volumes = np.linspace(0.7 * V0, 1.05 * V0, size)
    model.pressure_array(volumes[:100_000])  # start the pool outside the timing
    pressures = np.linspace(-5.0, 200.0, 10_000)
    result = {
        "pressure_array": best_time(lambda: model.pressure_array(volumes), repeat)[0],
        "volume_array": best_time(lambda: model.volume_array(pressures), repeat)[0],
    }
    if os.environ.get("BENCH_BASELINES") == "1":
        np.testing.assert_allclose(model.pressure_array(volumes), bm3(volumes), rtol=1e-10, atol=1e-9)
        result["numpy_expression"] = best_time(lambda: bm3(volumes), repeat)[0]

        # Plain Python floats: the cheapest way to hand brentq the same formula.
        def brentq_loop():
            return [brentq(lambda v, p=p: bm3(v) - p, 0.5 * V0, 1.2 * V0, xtol=1e-12) for p in pressures.tolist()]

        expected = np.array(brentq_loop())
        np.testing.assert_allclose(model.volume_array(pressures), expected, rtol=1e-9)
        result["brentq_loop"] = best_time(brentq_loop, 2)[0]
        small = volumes[:: size // 10][:10].copy()
        result["pressure_array_10"] = per_call(lambda: model.pressure_array(small), 200_000)
        result["pressure_scalar"] = per_call(lambda: model.pressure_scalar(9.5), 500_000)
    print(json.dumps(result))


def run_child(workers, size, repeat, baselines):
    environment = dict(os.environ, NIVALTUS_NUM_THREADS=str(workers), BENCH_BASELINES="1" if baselines else "0")
    output = subprocess.run(
        [sys.executable, __file__, "--child", "--size", str(size), "--repeat", str(repeat)],
        env=environment,
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    return json.loads(output.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--size", type=int, default=10_000_000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--child", action="store_true", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.child:
        measure(arguments.size, arguments.repeat)
        return

    processors = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    counts = sorted({1, 2, processors})
    runs = {n: run_child(n, arguments.size, arguments.repeat, baselines=(n == 1)) for n in counts}
    base = runs[1]

    print(f"pressure_array, BM3, {arguments.size:.0e} volumes (best of {arguments.repeat})")
    print(f"  NumPy expression              {base['numpy_expression'] * 1e3:9.1f} ms")
    for n in counts:
        t = runs[n]["pressure_array"]
        print(f"  {n:2d} worker(s)                  {t * 1e3:9.1f} ms   {base['numpy_expression'] / t:6.2f}x NumPy")
    for n in counts[1:]:
        efficiency = base["pressure_array"] / (n * runs[n]["pressure_array"])
        print(f"  parallel efficiency 1 -> {n} workers: {efficiency:.0%}")
    print("volume_array, BM3, 1e4 pressures")
    print(f"  brentq loop                   {base['brentq_loop'] * 1e3:9.1f} ms")
    for n in counts:
        t = runs[n]["volume_array"]
        print(f"  {n:2d} worker(s)                  {t * 1e3:9.1f} ms   {base['brentq_loop'] / t:6.0f}x brentq")
    print("per-call cost")
    print(f"  pressure_array, 10 elements   {base['pressure_array_10'] * 1e9:9.0f} ns")
    print(f"  pressure_scalar               {base['pressure_scalar'] * 1e9:9.0f} ns")


if __name__ == "__main__":
    main()
