"""Module start-up, the registered objects, the classes' nature and PanicException."""

import re

from conftest import run_python


def test_module_surface_in_fresh_interpreter():
    run_python(
        """
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
        assert {"RtEos", "HugoniotEos", "holzapfel_derivative_analytical"} <= set(engine.__all__)
        assert [n for n in dir(engine) if not n.startswith("__")] == sorted(engine.__all__)
        assert engine.__doc__ == ""
        assert not hasattr(engine, "PanicException")

        rt = engine.RtEos.bm3(10, 160, 4)
        assert type(rt).__module__ == "nivaltus._engine"
        assert type(rt).__qualname__ == "RtEos"
        assert engine.RtEos.__doc__ == "Private native representation of a built-in isothermal EOS."
        assert engine.HugoniotEos.__doc__ == "Private native representation of a built-in shock Hugoniot."
        assert engine.RtEos.bm3.__text_signature__ == "(v0, k0, k0_prime)"
        assert engine.RtEos.pressure_array.__text_signature__ == "($self, volumes)"
        assert engine.HugoniotEos.evaluate_array.__text_signature__ == "($self, quantity, values)"
        function = engine.holzapfel_derivative_analytical
        assert function.__module__ == "nivaltus._engine"
        assert function.__text_signature__ == "(v0, volume, bulk_modulus, k0, c0, c2)"
        assert sorted(n for n in vars(engine.HugoniotEos) if not n.startswith("__") or n == "__repr__") == [
            "__repr__", "evaluate_array", "evaluate_scalar", "linear_us_up"]

        # Classes cannot be instantiated, subclassed or changed.
        for cls in (engine.RtEos, engine.HugoniotEos):
            for attempt in (lambda: cls(), lambda: type("Sub", (cls,), {})):
                try:
                    attempt()
                except TypeError:
                    pass
                else:
                    raise AssertionError(f"{cls} accepted {attempt}")
            try:
                cls.extra = 1
            except TypeError:
                pass
            else:
                raise AssertionError("class attributes must be read-only")
        try:
            rt.model_name = "Vinet"
        except AttributeError:
            pass
        else:
            raise AssertionError("model_name must be read-only")

        # Objects survive a re-import: the classes are created once per process.
        del sys.modules["nivaltus._engine"]
        import importlib
        again = importlib.import_module("nivaltus._engine")
        assert again is not engine and again.RtEos is engine.RtEos
        assert rt.pressure_scalar(10.0) == 0.0
        """
    )


def _panic_script(backtrace):
    return run_python(
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


def test_internal_fault_raises_panic_exception_with_report():
    process = _panic_script(backtrace=False)
    assert "message: Failed to access NumPy array API capsule" in process.stdout
    assert process.stdout.rstrip().endswith("0.0")
    report = re.search(r"\nthread 'main' \((\d+)\) panicked at (\S+):(\d+):(\d+):\n(.*)\n", process.stderr)
    assert report, process.stderr
    assert report.group(2).startswith("python/") and report.group(5).startswith(
        "Failed to access NumPy array API capsule"
    )
    assert "stack backtrace:" not in process.stderr


def test_backtrace_switch_adds_backtrace():
    assert "stack backtrace:" in _panic_script(backtrace=True).stderr


def test_only_the_initialiser_is_exported():
    import shutil
    import subprocess

    import pytest

    import nivaltus._engine

    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not available")
    listing = subprocess.run([nm, "-D", "--defined-only", nivaltus._engine.__file__], capture_output=True, text=True, check=True)
    assert [line.split()[-1] for line in listing.stdout.splitlines()] == ["PyInit__engine"]
