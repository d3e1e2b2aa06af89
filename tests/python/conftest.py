"""Shared helpers. The tests run against the installed package."""

import os
import re
import signal
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


def ignore_sigint():
    signal.signal(signal.SIGINT, signal.SIG_IGN)


# A shell starts a background job with SIGINT ignored, and an interpreter that starts so leaves it ignored:
# Ctrl-C or kill -INT would never raise KeyboardInterrupt there. A child that expects one installs the handler.
INSTALL_SIGINT_HANDLER = "import signal\nsignal.signal(signal.SIGINT, signal.default_int_handler)\n"


def python_child(code, interruptible=False):
    """Arguments that run code in a fresh interpreter in this directory, wherever pytest was started, so
    that the child can import these helpers. An interruptible child, one that expects KeyboardInterrupt,
    installs Python's SIGINT handler itself and always starts with SIGINT ignored, the harder of the two
    dispositions it can inherit, so that every run checks that it does, however the tests were started."""
    prologue = INSTALL_SIGINT_HANDLER if interruptible else ""
    return {"args": [sys.executable, "-c", prologue + textwrap.dedent(code)], "cwd": Path(__file__).parent,
            "preexec_fn": ignore_sigint if interruptible else None}


def run_python(code, env=None, preexec_fn=None, interruptible=False):
    """Runs code in a fresh interpreter in this directory; returns the completed process. preexec_fn runs in
    the child before the interpreter starts; an interruptible child has its own."""
    child = python_child(code, interruptible)
    process = subprocess.run(**{**child, "preexec_fn": preexec_fn or child["preexec_fn"]}, capture_output=True,
                             text=True, env=dict(os.environ, **(env or {})), timeout=120)
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
