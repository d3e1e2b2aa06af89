"""Shared fixtures for the tests of nivaltus._engine.

The tests exercise the installed package (``pip install .``): the source tree's
``nivaltus/`` has no compiled engine, so the repository root is kept off
``sys.path`` before anything imports ``nivaltus``.
"""

import os
import subprocess
import sys
import textwrap
import types
from pathlib import Path

import pytest

_REPOSITORY = Path(__file__).resolve().parents[2]
sys.path[:] = [p for p in sys.path if Path(p or os.getcwd()).resolve() != _REPOSITORY]

try:
    import nivaltus._engine  # noqa: F401
except ImportError as error:  # pragma: no cover - guidance for a missing build
    raise pytest.UsageError(f"nivaltus._engine is not installed ({error}); run `pip install .` first") from error

ERROR_CLASSES = (
    "ValidationError",
    "UnsupportedOperationError",
    "ConfigurationError",
    "EosValidationError",
    "EosNumericalError",
    "FitValidationError",
    "FitError",
    "FitNumericalError",
    "FitEosValidationError",
    "FitEosNumericalError",
)


class RecordedError(Exception):
    """Stands in for every class of nivaltus.errors and keeps the call."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args)
        self.call_args = args
        self.call_kwargs = kwargs


@pytest.fixture
def recording_errors(monkeypatch):
    """Replaces nivaltus.errors by a module whose classes record how they were called."""
    double = types.ModuleType("nivaltus.errors")
    for name in ERROR_CLASSES:
        setattr(double, name, type(name, (RecordedError,), {}))
    monkeypatch.setitem(sys.modules, "nivaltus.errors", double)
    return double


@pytest.fixture
def errors_module(monkeypatch):
    """An empty stand-in for nivaltus.errors that a test fills as it needs."""
    double = types.ModuleType("nivaltus.errors")
    monkeypatch.setitem(sys.modules, "nivaltus.errors", double)
    return double


def run_python(code, env=None, check=True):
    """Runs code in a fresh interpreter outside the repository; returns the completed process."""
    environment = dict(os.environ)
    environment.update(env or {})
    process = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        cwd=Path(__file__).parent,
        env=environment,
        timeout=120,
    )
    if check and process.returncode != 0:
        raise AssertionError(f"subprocess failed:\n{process.stdout}\n{process.stderr}")
    return process
