"""Timing shared by the benchmark scripts."""

import time


def best_time(call, repeat):
    """The shortest of `repeat` wall-clock runs of call(), in seconds, and the last result."""
    best, result = float("inf"), None
    for _ in range(repeat):
        start = time.perf_counter()
        result = call()
        best = min(best, time.perf_counter() - start)
    return best, result
