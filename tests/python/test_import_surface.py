"""Module start-up, the registered objects, the classes' nature and PanicException."""

import re
import shutil
import subprocess

import pytest

import nivaltus._engine
from conftest import run_python


def test_module_surface_in_fresh_interpreter():
    run_python(
        """
        import importlib
        import sys
        import nivaltus
        assert "numpy" not in sys.modules, "importing the package must not import NumPy"
        import nivaltus._engine as engine
        assert "numpy" not in sys.modules, "NumPy is imported at the first array use only"

        # Registration order: the names present follow the module's fixed order.
        order = ["RtEos", "HugoniotEos", "ThermalEos", "LeastSquaresResult", "LinearPropagation",
                 "MonteCarloSummary", "fit_least_squares", "fit_rt_eos_native", "fit_thermal_eos_native",
                 "linear_uncertainty", "monte_carlo_summary", "holzapfel_derivative_analytical"]
        assert engine.__all__ == [name for name in order if name in engine.__all__], engine.__all__
        assert {"RtEos", "HugoniotEos", "ThermalEos", "holzapfel_derivative_analytical"} <= set(engine.__all__)
        assert [n for n in dir(engine) if not n.startswith("__")] == sorted(engine.__all__)
        assert not hasattr(engine, "PanicException")

        def fails(exception, action):
            try:
                action()
            except exception:
                return
            raise AssertionError(f"{action} did not raise {exception}")

        # Classes cannot be instantiated, subclassed or changed; objects are immutable.
        for cls in (engine.RtEos, engine.HugoniotEos, engine.ThermalEos):
            assert cls.__module__ == "nivaltus._engine"
            fails(TypeError, cls)
            fails(TypeError, lambda: type("Sub", (cls,), {}))
            fails(TypeError, lambda: setattr(cls, "extra", 1))
        rt = engine.RtEos.bm3(10, 160, 4)
        fails(AttributeError, lambda: setattr(rt, "model_name", "Vinet"))

        # Objects survive a re-import: the classes are created once per process.
        del sys.modules["nivaltus._engine"]
        again = importlib.import_module("nivaltus._engine")
        assert again is not engine and again.RtEos is engine.RtEos
        assert rt.pressure_scalar(10.0) == 0.0
        """
    )


@pytest.mark.parametrize("backtrace", [False, True])
def test_internal_fault_raises_panic_exception_with_report(backtrace):
    process = run_python(
        """
        import sys
        sys.modules["numpy"] = None  # NumPy cannot be imported
        import nivaltus._engine as engine
        rt = engine.RtEos.bm3(10.0, 160.0, 4.0)
        try:
            rt.pressure_array([1.0])
        except Exception:
            print("caught by except Exception")
        except BaseException as error:
            kind = type(error)
            assert kind.__name__ == "PanicException" and kind.__bases__ == (BaseException,)
            assert kind.__module__ != "nivaltus._engine"
            print("message:", error.args[0])
        # The interpreter keeps working after the fault.
        print(rt.pressure_scalar(10.0))
        """,
        env={"NIVALTUS_BACKTRACE": "1" if backtrace else "0"},
    )
    assert "message: Failed to access NumPy array API capsule" in process.stdout
    assert process.stdout.rstrip().endswith("0.0")
    report = r"\nthread 'main' \(\d+\) panicked at python/\S+:\d+:\d+:\nFailed to access NumPy array API capsule"
    assert re.search(report, process.stderr), process.stderr
    assert ("stack backtrace:" in process.stderr) == backtrace


@pytest.mark.skipif(shutil.which("nm") is None, reason="nm is not available")
def test_only_the_initialiser_is_exported():
    listing = subprocess.run(["nm", "-D", "--defined-only", nivaltus._engine.__file__], capture_output=True, text=True, check=True)
    assert [line.split()[-1] for line in listing.stdout.splitlines()] == ["PyInit__engine"]
