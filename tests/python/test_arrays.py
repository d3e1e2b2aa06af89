"""Element-wise evaluation over float64 arrays: shapes, strides, result flags, serial and parallel paths."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

from conftest import raises
from nivaltus._engine import HugoniotEos, RtEos

BM3 = RtEos.bm3(10.0, 160.0, 4.0)
HUGONIOT = HugoniotEos.linear_us_up(10.0, 2.5, 3.0, 1.5, 0.0)


def check_result(result, shape):
    assert isinstance(result, np.ndarray) and result.dtype == np.float64 and result.shape == shape
    assert result.flags.c_contiguous and result.flags.writeable
    assert result.base is not None and not isinstance(result.base, np.ndarray)  # our buffer, not a copy


@pytest.mark.parametrize("shape", [(), (3, 0, 2), (2, 1, 3) + (1,) * 29], ids=["0d", "empty", "32d"])
def test_result_has_input_shape(shape):
    volumes = np.linspace(8.0, 10.0, int(np.prod(shape))).reshape(shape)
    result = BM3.pressure_array(volumes)
    check_result(result, shape)
    np.testing.assert_array_equal(result, np.reshape([BM3.pressure_scalar(v) for v in volumes.ravel()], shape))


def strided_views(rows):
    grid = np.linspace(6.0, 10.0, rows * 6).reshape(rows, 6)
    return {
        "negative-2d": grid[::-2, ::-3],
        "broadcast-zero-stride": np.broadcast_to(grid[0], (rows, 6)),
        "fortran-3d": np.asfortranarray(grid.reshape(2, rows // 2, 6)),
        "read-only-unaligned": np.frombuffer(b"\0" + grid.tobytes(), dtype=np.float64, offset=1),
    }


@pytest.mark.parametrize("name", list(strided_views(4)))
@pytest.mark.parametrize("rows", [4, 70000], ids=["serial", "parallel"])
def test_any_layout_reads_in_row_major_order(name, rows):
    view = strided_views(rows)[name]
    result = BM3.pressure_array(view)
    check_result(result, view.shape)
    np.testing.assert_array_equal(result, BM3.pressure_array(np.ascontiguousarray(view)))


INVALID_VOLUME = "invalid state variable volume: must be positive and finite"
OVERFLOW = "model returned a non-finite result"


@pytest.mark.parametrize(
    "call, threshold, span, low, high, message",
    [
        (BM3.pressure_array, 65536, (8.0, 10.5), np.nan, 1e-300, INVALID_VOLUME),
        (BM3.pressure_array, 65536, (8.0, 10.5), 1e-300, np.nan, OVERFLOW),
        (lambda v: RtEos.holzapfel(10, 160, 4, 2, 26).bulk_modulus_derivative_array(v, 1e-4), 65536, (8.0, 10.5),
         1e-300, np.nan, OVERFLOW),
        (BM3.volume_array, 512, (-5.0, 100.0), -1e6, np.nan, "pressure is outside the invertible expansion range"),
        (lambda v: HUGONIOT.evaluate_array("tangent_modulus", v), 65536, (5.0, 10.0), np.nan, 11.0, INVALID_VOLUME),
    ],
)
def test_serial_and_parallel_paths(call, threshold, span, low, high, message):
    values = np.linspace(*span, threshold)  # the smallest size evaluated in parallel
    parallel = call(values)
    np.testing.assert_array_equal(parallel[:-1], call(values[:-1]))
    np.testing.assert_array_equal(parallel[-1:], call(values[-1:]))
    # A failure at a lower index and one of another kind in every chunk above it: both paths report the lower.
    for n in (threshold - 1, threshold):
        failing = values[:n].copy()
        failing[n * 3 // 5] = low
        failing[n * 3 // 4 :] = high
        raises(Exception, lambda: call(failing), message)


def test_concurrent_parallel_maps_from_python_threads():
    volumes = np.linspace(6.0, 12.0, 200_000)
    expected = BM3.pressure_array(volumes)
    with ThreadPoolExecutor(6) as pool:
        results = list(pool.map(lambda _: BM3.pressure_array(volumes), range(6)))
    assert all(np.array_equal(result, expected) for result in results)
