"""Shared helpers. The tests run against the installed package."""

import os
import re
import subprocess
import sys
import textwrap
import types
from pathlib import Path

import numpy as np
import pytest

ERROR_CLASSES = """ValidationError UnsupportedOperationError ConfigurationError EosValidationError EosNumericalError
FitValidationError FitError FitNumericalError FitEosValidationError FitEosNumericalError""".split()


class RecordedError(Exception):
    def __init__(self, *args, **kwargs):
        super().__init__(*args)
        self.call_args, self.call_kwargs = args, kwargs


@pytest.fixture
def recording_errors(monkeypatch):
    """Replaces nivaltus.errors by a module whose classes record how they were called."""
    double = types.ModuleType("nivaltus.errors")
    for name in ERROR_CLASSES:
        setattr(double, name, type(name, (RecordedError,), {}))
    monkeypatch.setitem(sys.modules, "nivaltus.errors", double)
    return double


def raises(error_class, call, message=None, note=None):
    """Runs call expecting error_class; checks the message and the note naming the argument when given."""
    with pytest.raises(error_class) as info:
        call()
    if message is not None:
        assert str(info.value) == message
    if note is not None:
        assert info.value.__notes__ == [f"while processing '{note}'"]
    return info.value


def python_blocks(markdown):
    """The code of a Markdown text's Python code blocks."""
    return re.findall(r"^```python\n(.*?)^```", markdown, re.M | re.S)


def python_child(code):
    """Arguments that run code in a fresh interpreter in this directory, wherever pytest was started, so
    that the child can import these helpers."""
    return {"args": [sys.executable, "-c", textwrap.dedent(code)], "cwd": Path(__file__).parent}


def run_python(code, env=None, preexec_fn=None):
    """Runs code in a fresh interpreter in this directory; returns the completed process."""
    process = subprocess.run(**python_child(code), capture_output=True, text=True,
                             env=dict(os.environ, **(env or {})), timeout=120, preexec_fn=preexec_fn)
    assert process.returncode == 0, f"subprocess failed:\n{process.stdout}\n{process.stderr}"
    return process


R = 8.31446261815324


def einstein(theta, t, n=2.0):
    """Einstein energy 3nR theta / (e^u - 1) and heat capacity 3nR (u/2 / sinh(u/2))^2, u = theta/T."""
    u = theta / t
    return 3 * n * R * theta / np.expm1(u), 3 * n * R * (u / 2 / np.sinh(u / 2)) ** 2


def bm3(v, v0, k0, kp):
    """Third-order Birch-Murnaghan pressure, f = (V0/V)^(2/3)."""
    f = (v0 / v) ** (2 / 3)
    return 1.5 * k0 * (f ** 3.5 - f ** 2.5) * (1 + 0.75 * (kp - 4) * (f - 1))
