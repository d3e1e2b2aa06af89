"""Element-wise evaluation over float64 arrays: shapes, strides, result flags, serial and parallel paths."""

import threading

import numpy as np
import pytest

from conftest import run_python
from nivaltus._engine import HugoniotEos, RtEos
from nivaltus.errors import EosNumericalError, EosValidationError

BM3 = RtEos.bm3(10.0, 160.0, 4.0)
HUGONIOT = HugoniotEos.linear_us_up(10.0, 2.5, 3.0, 1.5, 0.0)


def expected_pressures(volumes):
    return np.array([BM3.pressure_scalar(v) for v in np.asarray(volumes).ravel()]).reshape(np.shape(volumes))


def check_result(result, shape):
    assert isinstance(result, np.ndarray) and result.dtype == np.float64 and result.shape == shape
    assert result.flags.c_contiguous and result.flags.writeable
    assert result.base is not None and not isinstance(result.base, np.ndarray)  # our buffer, not a copy


@pytest.mark.parametrize("shape", [(), (1,), (2, 3), (2, 1, 3), (0,), (0, 3), (3, 0, 2)])
def test_result_has_input_shape(shape):
    volumes = np.linspace(8.0, 10.0, int(np.prod(shape))).reshape(shape)
    result = BM3.pressure_array(volumes)
    check_result(result, shape)
    np.testing.assert_array_equal(result, expected_pressures(volumes))


def test_empty_array_evaluates_nothing():
    # Every element would fail; none is evaluated.
    check_result(HUGONIOT.evaluate_array("no such quantity", np.empty((0, 3))), (0, 3))
    check_result(BM3.volume_array(np.full((2, 0), np.nan)), (2, 0))


def strided_views(rows):
    grid = np.linspace(6.0, 10.0, rows * 6).reshape(rows, 6)
    return {
        "reversed": grid.ravel()[::-1],
        "transposed": grid.T,
        "every-other-column": grid[:, ::2],
        "negative-2d": grid[::-2, ::-3],
        "broadcast-zero-stride": np.broadcast_to(grid[0], (rows, 6)),
        "fortran-3d": np.asfortranarray(grid.reshape(2, rows // 2, 6)),
        "read-only": np.frombuffer(grid.tobytes(), dtype=np.float64),
    }


@pytest.mark.parametrize("name", list(strided_views(4)))
@pytest.mark.parametrize("rows", [4, 70000], ids=["serial", "parallel"])
def test_any_layout_reads_in_row_major_order(name, rows):
    view = strided_views(rows)[name]
    result = BM3.pressure_array(view)
    check_result(result, view.shape)
    np.testing.assert_array_equal(result, BM3.pressure_array(np.ascontiguousarray(view)))


def test_unaligned_input():
    raw = np.zeros(8 * 100 + 1, dtype=np.uint8)
    volumes = raw[1:].view(np.float64)
    volumes[:] = np.linspace(8.0, 10.0, 100)
    assert not volumes.flags.aligned
    np.testing.assert_array_equal(BM3.pressure_array(volumes), expected_pressures(volumes.copy()))


def test_result_is_independent_of_input():
    volumes = np.full(5, 9.0)
    result = BM3.pressure_array(volumes)
    result[:] = 0.0
    assert BM3.pressure_array(volumes)[0] == BM3.pressure_scalar(9.0)


# Each pair puts a failure at a lower index and another, of a different kind,
# at a higher one; the lower one must be reported by both paths.
def failing_volumes(n, low, high, low_value, high_value):
    volumes = np.full(n, 9.0)
    volumes[low] = low_value
    volumes[high:] = high_value  # many failing chunks above the lowest failure
    return volumes


INVALID_VOLUME = (np.nan, EosValidationError, "eos.invalid_state")
OVERFLOWING_VOLUME = (1e-300, EosNumericalError, "eos.non_finite_result")


@pytest.mark.parametrize("n", [65535, 65536])
@pytest.mark.parametrize("low, high", [(INVALID_VOLUME, OVERFLOWING_VOLUME), (OVERFLOWING_VOLUME, INVALID_VOLUME)])
def test_pressure_array_reports_lowest_failing_index_on_both_sides_of_threshold(n, low, high):
    volumes = failing_volumes(n, 40000, 50000, low[0], high[0])
    with pytest.raises(low[1]) as info:
        BM3.pressure_array(volumes)
    assert info.value.code == low[2]
    volumes[40000] = 9.5
    with pytest.raises(high[1]):
        BM3.pressure_array(volumes)


@pytest.mark.parametrize("n", [511, 512])
def test_volume_array_reports_lowest_failing_index_on_both_sides_of_threshold(n):
    pressures = np.linspace(0.0, 50.0, n)
    pressures[300] = -1e6  # below the spinodal: outside the invertible range
    pressures[400:] = np.nan  # invalid state
    with pytest.raises(EosValidationError) as info:
        BM3.volume_array(pressures)
    assert info.value.code == "eos.outside_invertible_range"


@pytest.mark.parametrize("n", [65535, 65536])
def test_hugoniot_reports_lowest_failing_index_on_both_sides_of_threshold(n):
    volumes = np.full(n, 9.0)
    volumes[100] = np.nan  # "must be positive and finite"
    volumes[60000] = 11.0  # "must not exceed V0 on a compression Hugoniot"
    with pytest.raises(EosValidationError, match="must be positive and finite"):
        HUGONIOT.evaluate_array("pressure", volumes)


@pytest.mark.parametrize(
    "method, threshold, values",
    [
        (BM3.pressure_array, 65535, (8.0, 10.5)),
        (BM3.bulk_modulus_array, 65535, (8.0, 10.5)),
        (lambda v: RtEos.holzapfel(10, 160, 4, 2, 26).bulk_modulus_derivative_array(v, 1e-4), 65535, (8.0, 10.5)),
        (BM3.volume_array, 511, (-5.0, 100.0)),
        (lambda v: HUGONIOT.evaluate_array("tangent_modulus", v), 65535, (5.0, 10.0)),
    ],
    ids=["pressure", "bulk_modulus", "derivative", "volume", "hugoniot"],
)
def test_serial_and_parallel_paths_agree(method, threshold, values):
    call = method
    big = np.linspace(*values, threshold + 1)
    parallel = call(big)
    serial = call(big[:threshold])
    np.testing.assert_array_equal(parallel[:threshold], serial)
    np.testing.assert_array_equal(parallel[-1:], call(big[-1:]))


def test_concurrent_parallel_maps_from_python_threads():
    volumes = np.linspace(6.0, 12.0, 200_000)
    expected = BM3.pressure_array(volumes)
    results = [None] * 6

    def work(i):
        results[i] = BM3.pressure_array(volumes)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(results))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        np.testing.assert_array_equal(result, expected)


@pytest.mark.parametrize("env", [{"NIVALTUS_NUM_THREADS": "1"}, {"NIVALTUS_NUM_THREADS": "3", "NIVALTUS_MIN_STACK": "65536"}, {"NIVALTUS_NUM_THREADS": "junk"}])
def test_worker_pool_settings(env):
    run_python(
        """
        import numpy as np
        from nivaltus._engine import RtEos
        model = RtEos.vinet(10.0, 160.0, 4.0)
        volumes = np.linspace(6.0, 12.0, 100_000)
        expected = np.array([model.pressure_scalar(v) for v in volumes[::997]])
        assert np.array_equal(model.pressure_array(volumes)[::997], expected)
        """,
        env=env,
    )


def test_forked_child_starts_its_own_pool():
    run_python(
        """
        import os
        import numpy as np
        from nivaltus._engine import RtEos
        model = RtEos.bm3(10.0, 160.0, 4.0)
        volumes = np.linspace(6.0, 12.0, 100_000)
        expected = model.pressure_array(volumes)  # the parent's pool is running
        pid = os.fork()
        if pid == 0:
            os._exit(0 if np.array_equal(model.pressure_array(volumes), expected) else 1)
        _, status = os.waitpid(pid, 0)
        assert os.waitstatus_to_exitcode(status) == 0
        """
    )
