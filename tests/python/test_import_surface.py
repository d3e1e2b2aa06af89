"""Module start-up, the registered objects, the classes' nature and PanicException."""

import re
import shutil
import subprocess

import pytest

import nivaltus._engine as engine
from conftest import run_python


@pytest.mark.parametrize("backtrace", [False, True])
def test_module_surface_and_internal_fault_in_fresh_interpreter(backtrace):
    process = run_python(
        """
        import importlib
        import sys
        import nivaltus._engine as engine
        assert "numpy" not in sys.modules, "NumPy is imported at the first array use only"
        assert engine.__all__ == ["RtEos", "HugoniotEos", "ThermalEos", "LeastSquaresResult", "LinearPropagation",
                                  "MonteCarloSummary", "fit_least_squares", "fit_rt_eos_native", "fit_thermal_eos_native",
                                  "linear_uncertainty", "monte_carlo_summary", "holzapfel_derivative_analytical"]
        assert [n for n in dir(engine) if not n.startswith("__")] == sorted(engine.__all__)
        assert not hasattr(engine, "PanicException")
        # Objects survive a re-import: the classes are created once per process.
        rt = engine.RtEos.bm3(10.0, 160.0, 4.0)
        del sys.modules["nivaltus._engine"]
        again = importlib.import_module("nivaltus._engine")
        assert again is not engine and again.RtEos is engine.RtEos and rt.pressure_scalar(10.0) == 0.0
        sys.modules["numpy"] = None  # an internal fault: NumPy cannot be imported
        try:
            rt.pressure_array([1.0])
        except BaseException as error:
            kind = type(error)
            assert (kind.__name__, kind.__bases__) == ("PanicException", (BaseException,))
            assert kind.__module__ != "nivaltus._engine"
            print("message:", error.args[0])
        print(rt.pressure_scalar(10.0))  # the interpreter keeps working
        """,
        env={"NIVALTUS_BACKTRACE": str(int(backtrace))},
    )
    assert re.fullmatch(r"message: Failed to access NumPy array API capsule.*\n0\.0\n", process.stdout), process.stdout
    report = r"\nthread 'main' \(\d+\) panicked at python/\S+:\d+:\d+:\nFailed to access NumPy array API capsule"
    assert re.search(report, process.stderr), process.stderr
    assert ("stack backtrace:" in process.stderr) == backtrace


@pytest.mark.parametrize("cls", [engine.RtEos, engine.HugoniotEos, engine.ThermalEos])
def test_classes_cannot_be_instantiated_subclassed_or_changed(cls):
    assert cls.__module__ == "nivaltus._engine"
    for action in (cls, lambda: type("Sub", (cls,), {}), lambda: setattr(cls, "extra", 1)):
        pytest.raises(TypeError, action)


@pytest.mark.skipif(shutil.which("nm") is None, reason="nm is not available")
def test_only_the_initialiser_is_exported():
    listing = subprocess.check_output(["nm", "-D", "--defined-only", engine.__file__], text=True)
    assert [line.split()[-1] for line in listing.splitlines()] == ["PyInit__engine"]
