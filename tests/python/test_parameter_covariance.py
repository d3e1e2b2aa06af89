"""parameter_covariance against NumPy's SVD far beyond what JᵀJ holds, and Ctrl-C during a long covariance."""

import signal
import subprocess
import time

import numpy as np
import pytest
from scipy.linalg import hadamard

from conftest import python_child
from nivaltus._engine import fit_least_squares

EPS = np.finfo(float).eps


@pytest.mark.parametrize("condition", [1e2, 1e6, 1e10])
@pytest.mark.parametrize("m, n", [(12, 4), (40, 32)])
def test_standard_errors_match_numpy_svd(condition, m, n):
    rng = np.random.default_rng(int(np.log10(condition)) + n)
    u, _ = np.linalg.qr(rng.normal(size=(m, n)))
    # Singular values from 1 down to 1/condition; right singular vectors of entries ±1/√n keep every column
    # the same length, so the condition survives the equilibration; columns in units up to 1e6 apart.
    v = hadamard(n) / np.sqrt(n)
    matrix = (u * np.logspace(0.0, -np.log10(condition), n)) @ v.T * np.logspace(-3.0, 3.0, n)
    # Forward differences of p -> matrix·p at p = 0 with a power-of-two step: the Jacobian is the matrix.
    result = fit_least_squares(lambda p: matrix @ p, np.zeros(n), np.full(n, -np.inf), np.full(n, np.inf), max_nfev=1)
    # The same pseudo-inverse of JᵀJ in units where every column of J has length 1.
    unit = 1.0 / np.linalg.norm(result.jac, axis=0)
    inverse = np.linalg.pinv(result.jac * unit, rcond=max(m, n) * EPS) * unit[:, np.newaxis]
    reference = inverse @ inverse.T
    scale = np.sqrt(np.diag(reference))
    # Both are backward stable: they may differ by about condition·ε in the weakest direction.
    np.testing.assert_allclose(result.parameter_covariance / np.outer(scale, scale),
                               reference / np.outer(scale, scale), rtol=0, atol=100 * condition * EPS)


def test_keyboard_interrupt_stops_a_long_covariance():
    # About a second of work; SIGINT from outside, as no Python thread runs while the covariance holds the lock.
    child = subprocess.Popen(**python_child(
        """
        import time
        import numpy as np
        from nivaltus._engine import fit_least_squares

        n = 1000
        result = fit_least_squares(np.cumsum, np.ones(n), np.full(n, -np.inf), np.full(n, np.inf), max_nfev=1)
        print("ready", flush=True)
        covariance = None
        try:
            covariance = result.parameter_covariance
        except KeyboardInterrupt:
            print("KeyboardInterrupt", covariance is None)
        """, interruptible=True), stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(0.1)
        child.send_signal(signal.SIGINT)
        output, _ = child.communicate(timeout=30)
    finally:
        child.kill()
    assert output.split() == ["KeyboardInterrupt", "True"]
