"""The user's reference (docs/reference.md) held to the module: every name its tables list is accepted where
they say and refused elsewhere, and every name the engine's vocabularies hold is listed."""

import ast
import builtins
import importlib
import inspect
import itertools
import math
import re
from keyword import kwlist
from pathlib import Path

import numpy as np
import pytest

import nivaltus._engine as engine
from conftest import R, einstein, python_blocks
from nivaltus import errors
from nivaltus._engine import (HugoniotEos, RtEos, ThermalEos, fit_least_squares, fit_rt_eos_native,
                              fit_thermal_eos_native)
from nivaltus.errors import EosValidationError, FitValidationError, UnsupportedOperationError, ValidationError

ROOT = Path(__file__).resolve().parents[2]
LINES = (ROOT / "docs" / "reference.md").read_text(encoding="utf-8").splitlines()
TEXT = "\n".join(LINES)
FLAT = " ".join(TEXT.split())  # line breaks and runs of blanks folded, for phrases that span lines
# The engine's C++ sources (path relative to the root: text), where its codes, fields and names are written.
ENGINE_SOURCES = {str(path.relative_to(ROOT)): path.read_text()
                  for folder in ("core", "python") for path in (ROOT / folder).rglob("*.[ch]pp")}


def cells(line):
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


def table(first_header):
    """The header and rows of the reference's table whose first header cell is first_header."""
    starts = [i for i, line in enumerate(LINES[:-1])
              if line.startswith("|") and cells(line)[0] == first_header and LINES[i + 1].startswith("|---")]
    assert len(starts) == 1, f"one table headed {first_header!r} expected in the reference"
    rows = []
    for line in LINES[starts[0] + 2:]:
        if not line.startswith("|"):
            break
        rows.append(cells(line))
    return cells(LINES[starts[0]]), rows


def spans(text):
    """The texts between backquotes."""
    return re.findall(r"`([^`]+)`", text)


def names(cell):
    return [name.strip('"') for name in spans(cell)]


def outside_parentheses(text):
    depth, kept = 0, []
    for character in text:
        depth += character == "("
        kept.append(character if depth == 0 else "")
        depth -= character == ")" and depth > 0
    return "".join(kept)


def engine_vocabulary(path, table_name):
    """The texts of a name table in the engine's source, the lists the compiled module resolves names by."""
    body = re.search(table_name + r"\s*=?\s*\{\{(.*?)\}\};", (ROOT / path).read_text(), re.S)
    return set(re.findall(r'\{"(\w+)",', body.group(1)))


def static_constructors(cls):
    return {name for name in dir(cls) if not name.startswith("_")
            and (getattr(getattr(cls, name), "__text_signature__", None) or "($self").split(",")[0] != "($self"}


def signature_entries(function):
    """(name, default) of each parameter, the default as its Python value or None when the parameter has none."""
    return [(p.name, None if p.default is p.empty else p.default)
            for p in inspect.signature(function).parameters.values()]


def float_keywords(constructor):
    """The constructor's keywords that take numbers: not the reference isotherm, not the laws chosen by strings."""
    return [name for name, default in signature_entries(constructor)
            if name != "rt_eos" and not isinstance(default, str)]


def isothermal_model(constructor):
    return getattr(RtEos, constructor)(**{k: ISOTHERMAL_VALUES[k] for k in float_keywords(getattr(RtEos, constructor))})


ISOTHERMAL_VALUES = dict(v0=11.24, k0=160.0, k0_prime=4.0, k0_double_prime=-0.025, k_infinity_prime=2.5, n=2.0, z=10.0)
BM3, TAIT = isothermal_model("bm3"), isothermal_model("modified_tait")
MULTI_OSCILLATOR = (300, 500, 2, 900, 1, 0.1, 0.5, 10, 2, 1.5, 20, 0.2, 300, 1.5, 2, 600, 2, 1, 2)
THERMAL_ARGUMENTS = {  # constructor: (reference, arguments after it)
    "asymptotic_power_law_mie_gruneisen_debye": (BM3, (300.0, 800.0, 1.5, 0.5, 2.0, 2.0)),
    "dewaele_2006": (BM3, (300.0, 800.0, 1.5, 0.5, 2.0, 2e-5, 2.0, 3e-5, 1.5, 2.0)),
    "dorogokupets_oganov_2007": (BM3, (298.15, 700, 1.5, 1, 400, 2.5, 2, 500, 1.5, 800, 1.5, 1.5, 0.8, 2.5, 12, 3,
                                       20, 1.5, 30000, 2, 2)),
    "linear_thermal_pressure": (BM3, (300.0, 0.005)),
    "debye_quadratic_thermal_pressure": (BM3, (300.0, 800.0, 1.5, 1.0, 2.0, 1e-7, 1.0)),
    "log_volume_thermal_pressure": (BM3, (300.0, 0.005, 0.002)),
    "second_order_taylor_thermal_pressure": (BM3, (300.0, 0.0, 0.1, -0.5, 0.006, 0.3, 0.0, 0.002)),
    "mie_gruneisen_debye": (BM3, (300.0, 800.0, 1.5, 1.0, 2.0, "integrated_gruneisen", "reference_temperature", 50.0)),
    "mie_gruneisen_einstein": (BM3, (300.0, 600.0, 1.5, 1.0, 2.0)),
    "holland_powell_thermal_pressure": (BM3, (300.0, 700.0, 3e-5, 2.0)),
    "thermal_modified_tait": (TAIT, (300.0, 700.0, 3e-5, 2.0)),
    "multi_oscillator_gruneisen": (BM3, MULTI_OSCILLATOR),
    "sokolova2016": (BM3, MULTI_OSCILLATOR),
    # Laws under which alpha1 and the betas may take any value.
    "thermal_reference_state": (BM3, (300.0, 3e-5, 0.0, 1e-8, "linear_temperature", "integrated_expansivity",
                                      "reciprocal_cubic", 1e-6, 1e-9, 1e-12, 0.01)),
}


def thermal_keywords(constructor):
    """Keyword -> value of the test's model built by constructor."""
    parameters = list(inspect.signature(getattr(ThermalEos, constructor)).parameters)[1:]
    return dict(zip(parameters, THERMAL_ARGUMENTS[constructor][1]))


def thermal_model(constructor, **changed):
    reference, _ = THERMAL_ARGUMENTS[constructor]
    return getattr(ThermalEos, constructor)(reference, **{**thermal_keywords(constructor), **changed})


ISOTHERMAL_NAMES = {row[0].strip("`"): names(row[1]) for row in table("isothermal constructor")[1]}
THERMAL_NAMES = {row[0].strip("`"): names(row[1]) for row in table("thermal constructor")[1]}
EVERY_FIT_NAME = ({name for row in [*ISOTHERMAL_NAMES.values(), *THERMAL_NAMES.values()] for name in row}
                  | {"rt_eos." + name for row in ISOTHERMAL_NAMES.values() for name in row})


def listed_entries(cell):
    return parameters(", ".join(spans(cell.split(" (")[0])))


def test_constructor_signatures():
    for row in table("RtEos constructor")[1]:
        constructor = names(row[0])[0]
        assert listed_entries(row[2]) == signature_entries(getattr(RtEos, constructor)), constructor
        assert isothermal_model(constructor).model_name == names(row[1])[0]
    for row in table("ThermalEos constructor")[1]:
        for constructor in names(row[0]):
            assert listed_entries(row[1]) == signature_entries(getattr(ThermalEos, constructor)), constructor


def calls(text, name):
    """The parameter lists written after name( anywhere in the text, code blocks included."""
    return [match.group(1) for match in re.finditer(rf"(?<![\w.]){name}\(([^)]*)\)", text)]


def parameters(listed):
    entries = []
    for entry in filter(None, (part.strip() for part in listed.replace("\n", " ").split(","))):
        name, _, default = entry.partition("=")
        entries.append((name, ast.literal_eval(default) if default else None))
    return entries


def members(cls):
    return {name for name in dir(cls) if not name.startswith("_")} - static_constructors(cls)


@pytest.mark.parametrize("cls", [RtEos, ThermalEos, HugoniotEos])
def test_member_tables(cls):
    listed = set()
    for row in table(f"{cls.__name__} member")[1]:
        for entry in spans(row[0]):
            name, call, arguments = entry.partition("(")
            if name == "repr":
                continue
            listed.add(name)
            member = getattr(cls, name)
            if call:
                expected = [e for e in signature_entries(member) if e[0] != "self"]
                assert parameters(arguments.rstrip(")")) == expected, entry
    assert listed >= members(cls)


def test_function_signatures():
    for name in [name for name in engine.__all__ if name[0].islower()]:
        written = calls(TEXT, name)
        assert written, f"{name} is not in the reference"
        for listed in written:
            assert parameters(listed) == signature_entries(getattr(engine, name)), name


@pytest.mark.parametrize("header, functions", [("EOS fit argument", [fit_rt_eos_native, fit_thermal_eos_native]),
                                               ("fit_least_squares argument", [fit_least_squares])])
def test_argument_tables(header, functions):
    listed = {name for row in table(header)[1] for name in names(row[0])}
    assert listed == {name for function in functions for name, _ in signature_entries(function)}


@pytest.mark.parametrize("cls", [engine.LeastSquaresResult, engine.LinearPropagation, engine.MonteCarloSummary])
def test_result_attribute_tables(cls):
    listed = {name for row in table(f"{cls.__name__} attribute")[1] for name in names(row[0])}
    assert listed == {name for name in dir(cls) if not name.startswith("_")}


def test_error_classes():
    codes = {code for row in table("class")[1] for code in names(row[2]) if "." in code}
    in_sources = {code for path, source in ENGINE_SOURCES.items() if re.fullmatch(r"python/[^/]*\.cpp", path)
                  for code in re.findall(r'"((?:eos|fit|validation|operation|configuration)\.[a-z_]+)"', source)}
    assert codes == in_sources
    for row in table("class")[1]:
        bases = [base.__name__ for base in getattr(errors, names(row[0])[0]).__bases__]
        assert bases == names(row[1])


def test_constructor_tables_cover_the_classes():
    assert {names(row[0])[0] for row in table("RtEos constructor")[1]} == static_constructors(RtEos)
    assert {c for row in table("ThermalEos constructor")[1] for c in names(row[0])} == static_constructors(ThermalEos)
    assert set(ISOTHERMAL_NAMES) == static_constructors(RtEos)
    assert set(THERMAL_NAMES) == static_constructors(ThermalEos)
    legend = {constructor for row in table("column")[1] for constructor in names(row[2])}
    assert legend == static_constructors(ThermalEos)


# --- thermal quantities ---------------------------------------------------------------------------------------------

QUANTITY_HEADER, QUANTITY_ROWS = table("thermal quantity")
LEGEND = {row[0]: (names(row[1])[0], names(row[2])) for row in table("column")[1]}
V, T = 10.5, 1500.0
ROLES = {names(row[0])[0] if "`" in row[0] else "other": (row[1], row[2]) for row in table("quantity name")[1]}


def inputs(name, state):
    """first and second of a quantity at a state (a dict of volume, pressure, temperature), as the roles table says."""
    return tuple(state[role] for role in ROLES.get(name, ROLES["other"]))


def test_roles_of_first_and_second():
    model = thermal_model("mie_gruneisen_debye")
    state = dict(volume=V, temperature=T, pressure=None)
    state["pressure"] = model.evaluate_scalar("pressure", *inputs("pressure", state))
    assert model.evaluate_scalar("volume", *inputs("volume", state)) == pytest.approx(V, rel=1e-8)
    assert model.evaluate_scalar("temperature", *inputs("temperature", state)) == pytest.approx(T, rel=1e-8)


def test_quantity_table_lists_the_engine_vocabulary():
    listed = {name for row in QUANTITY_ROWS for name in names(row[0])}
    assert listed == engine_vocabulary("core/thermal/thermal_quantity.cpp", "quantity_names")


@pytest.mark.parametrize("column", QUANTITY_HEADER[2:])
def test_quantity_table_against_the_models(column):
    model_name, constructors = LEGEND[column]
    for constructor in constructors:
        model = thermal_model(constructor)
        assert model.model_name == model_name
        for row in QUANTITY_ROWS:
            mark = row[QUANTITY_HEADER.index(column)]
            assert mark in ("✓", "–")
            for name in names(row[0]):
                first, second = inputs(name, dict(volume=V, temperature=T, pressure=20.0))
                if mark == "✓":
                    assert math.isfinite(model.evaluate_scalar(name, first, second)), (constructor, name)
                else:
                    with pytest.raises(UnsupportedOperationError):
                        model.evaluate_scalar(name, first, second)


def test_string_choices_build_models():
    listed = {}
    for row in table("keyword")[1]:
        constructor, keyword = re.fullmatch(r"`(\w+)\((\w+)=…\)`", row[0]).groups()
        listed[keyword] = names(outside_parentheses(row[1]))
        base = dict(thermal_expansion_law="constant", bulk_modulus_law="linear_temperature", beta1=0.0, beta2=0.0,
                    beta3=0.0) if constructor == "thermal_reference_state" else {}
        for value in listed[keyword]:
            reference = THERMAL_ARGUMENTS[constructor][0]
            try:
                getattr(ThermalEos, constructor)(reference, **{**thermal_keywords(constructor), **base, keyword: value})
            except ValidationError as error:  # a law refused by name; a coupling of two laws is an EOS refusal
                assert isinstance(error, EosValidationError), (keyword, value, error)
    sources = {"debye_temperature_law": "mie_gruneisen", "thermal_pressure_reference": "mie_gruneisen",
               "thermal_expansion_law": "thermal_reference_state", "reference_volume_law": "thermal_reference_state",
               "bulk_modulus_law": "thermal_reference_state"}
    for keyword, source in sources.items():
        assert set(listed[keyword]) == engine_vocabulary(f"core/thermal/{source}.hpp", keyword + "_names")


# --- thermal pressures, caloric quantities, constructor conditions and states out of reach --------------------------

V0 = ISOTHERMAL_VALUES["v0"]


def taylor(k, v, t, q):
    s, t = 1 - v / V0 - k["eta0"], t - k["tr"]
    return k["c0"] + k["c1"] * s + k["c2"] * t + k["c3"] * s * s / 2 + k["c4"] * t * t / 2 + k["c5"] * s * t / 2


def holland_powell(k, v, t, q):
    (energy, _), (energy_tr, cv_tr) = einstein(k["theta"], t, k["n"]), einstein(k["theta"], k["tr"], k["n"])
    return k["alpha0"] * ISOTHERMAL_VALUES["k0"] * (energy - energy_tr) / cv_tr


DEFINITIONS = [  # (the text as the reference writes it, model, quantity, its value from keywords, V, T, quantities q)
    ("c0 + c1·s + c2·t + ½·c3·s² + ½·c4·t² + ½·c5·s·t with s = 1 − V/V0 − eta0 and t = T − Tr",
     "second_order_taylor_thermal_pressure", "thermal_pressure", taylor),
    ("α0·K0·[E_E(θ, T) − E_E(θ, Tr)]/Cv(Tr), Cv(T) = 3nR·u²·e^u/(e^u − 1)² with u = θ/T", "thermal_modified_tait",
     "thermal_pressure", holland_powell),
    ("H = E + 10000·V·P_vib, that is (1 + γ)·E", "asymptotic_power_law_mie_gruneisen_debye", "thermal_enthalpy",
     lambda k, v, t, q: (1 + q("gruneisen_parameter")) * q("thermal_energy")),
    ("G = F + 10000·V·P_vib", "mie_gruneisen_einstein", "thermal_gibbs_free_energy",
     lambda k, v, t, q: q("thermal_helmholtz_free_energy") + q("gruneisen_parameter") * q("thermal_energy")),
    ("H = E + 10000·V·P_abs", "dorogokupets_oganov_2007", "thermal_enthalpy",
     lambda k, v, t, q: q("thermal_energy") + 1e4 * v * q("absolute_thermal_pressure")),
    ("G = F + 10000·V·P_abs", "dorogokupets_oganov_2007", "thermal_gibbs_free_energy",
     lambda k, v, t, q: q("thermal_helmholtz_free_energy") + 1e4 * v * q("absolute_thermal_pressure")),
]


def check_as_written(text, constructor, quantity, expected, rel, abs=1e-12, changed=None):
    """The text stands in the reference, and at two states the quantity of the test's model (its keywords k
    changed as given) is expected(k, V, T, q), q(name[, V, T]) being the model's quantities; returns the model."""
    assert text in FLAT
    changed = changed or {}
    model, keywords = thermal_model(constructor, **changed), {**thermal_keywords(constructor), **changed}
    for v, t in [(9.0, 2000.0), (12.0, 700.0)]:
        q = lambda name, at_v=v, at_t=t: model.evaluate_scalar(name, at_v, at_t)  # noqa: E731
        assert q(quantity) == pytest.approx(expected(keywords, v, t, q), rel=rel, abs=abs)
    return model


@pytest.mark.parametrize("text, constructor, quantity, expected", DEFINITIONS, ids=[d[0][:30] for d in DEFINITIONS])
def test_formulas_against_the_module(text, constructor, quantity, expected):
    assert f"R = {R} J/mol/K" in FLAT
    changed = dict(eta0=0.02, c4=4e-6) if constructor == "second_order_taylor_thermal_pressure" else None
    check_as_written(text, constructor, quantity, expected, rel=1e-12, abs=1e-13, changed=changed)


def raised(call, *args, **keywords):
    """The module's error that the call raises; None when it returns."""
    try:
        call(*args, **keywords)
    except errors.NivaltusError as error:
        return error


def outcome(call, *args):
    """(class name, code, message) of the module's error that the call raises; "ok" when it returns."""
    error = raised(call, *args)
    return (type(error).__name__, error.code, str(error)) if error else "ok"


LAWS = sorted(engine_vocabulary("core/thermal/thermal_reference_state.hpp", "thermal_expansion_law_names"))
# The reference's wording: (refuses x, given the keywords with x in place; values just either side[, probed alone]).
CLAUSES = {
    "not positive and finite": (lambda x, k: not 0 < x < math.inf, lambda v, k: [-0.0, 5e-324]),
    "not finite": (lambda x, k: not math.isfinite(x), lambda v, k: [-math.inf]),
    "< 0": (lambda x, k: x < 0, lambda v, k: [-5e-324, -0.0]),
    "> 1": (lambda x, k: x > 1, lambda v, k: [1.0, math.nextafter(1.0, 2.0)]),
    "> `gamma0`": (lambda x, k: x > k["gamma0"], lambda v, k: [k["gamma0"], math.nextafter(k["gamma0"], 9.0)]),
    "≠ 0": (lambda x, k: x != 0, lambda v, k: [-0.0, 5e-324, -5e-324]),
    '≠ `"constant"`': (lambda x, k: x != "constant", lambda v, k: LAWS, "alone"),
    '≠ `"linear_temperature"`': (lambda x, k: x != "linear_temperature", lambda v, k: LAWS, "alone"),
    # Probed at its edge alone: farther off, each multiplicity's own check comes first.
    "`m_b1` + `m_b2` + `m_e1` + `m_e2` differs from 3·`n` by more than 0.005":
        (lambda x, k: abs(k["m_b1"] + k["m_b2"] + k["m_e1"] + k["m_e2"] - 3 * k["n"]) > 0.005,
         lambda v, k: [v - 0.0051, v - 0.0049, v + 0.0049, v + 0.0051], "alone"),
}
# thermal_reference_state under laws that leave every coefficient free to be probed.
QUIET_LAWS = dict(alpha1=0.0, beta1=0.0, beta2=0.0, beta3=0.0, kprime_log_coefficient=0.0,
                  thermal_expansion_law="linear_temperature", bulk_modulus_law="linear_temperature")
CONDITIONS = []
for row in table("checked by")[1]:  # a blank first cell continues the row above
    CONDITIONS.append((row[0] or CONDITIONS[-1][0], *row[1:]))


def probes(clauses, v, base):
    """The values to try for a parameter whose value is v: each clause's edges and, unless a clause is probed
    alone, values far either side."""
    far = [] if any(len(c) > 2 for c in clauses) else [-1.0, -v, 10 * v, 0.0, math.nan, math.inf]
    return [*far, *(x for c in clauses for x in c[1](v, base))]


@pytest.mark.parametrize("checked_by, parameters, refused, fields", CONDITIONS)
def test_constructor_conditions(checked_by, parameters, refused, fields):
    """Each value probed (the clauses' edges and, unless one is probed alone, values far either side) is refused with
    the row's field exactly when a clause of the row refuses it; over the other isotherms 1e-3 is accepted."""
    checked, parameters, clauses = spans(checked_by), spans(parameters), [CLAUSES[c] for c in refused.split(", or ")]
    fields = names(fields) * len(parameters) if len(names(fields)) == 1 else names(fields)
    references = [name for name in checked if name in static_constructors(RtEos)]
    for constructor in set(checked) & static_constructors(ThermalEos):
        build = getattr(ThermalEos, constructor)
        base = {**thermal_keywords(constructor), **(QUIET_LAWS if constructor == "thermal_reference_state" else {}),
                **{key: ast.literal_eval(value) for key, _, value in (s.partition("=") for s in checked if "=" in s)}}
        built = [isothermal_model(name) for name in references] or [THERMAL_ARGUMENTS[constructor][0]]
        for reference, (parameter, field) in itertools.product(built, zip(parameters, fields, strict=True)):
            for x in probes(clauses, base[parameter], base):
                keywords = {**base, parameter: x}
                error = raised(build, reference, **keywords)
                named = (type(error) is ValidationError if field == "ValidationError"
                         else getattr(error, "field", None) == field)
                assert named == any(c[0](x, keywords) for c in clauses), (parameter, x, error)
        for other in static_constructors(RtEos) - set(references) if references else ():
            assert raised(build, isothermal_model(other), **{**base, parameters[0]: 1e-3}) is None


def test_every_parameter_has_its_conditions():
    listed = {(c, p) for checked, parameters, *_ in CONDITIONS for c in spans(checked) for p in spans(parameters)}
    assert {(c, p) for c in static_constructors(ThermalEos) for p in float_keywords(getattr(ThermalEos, c))} <= listed


@pytest.mark.parametrize("row", table("expansion out of reach")[1], ids=lambda row: row[0])
def test_expansion_out_of_reach(row):
    """A volume and a confined volume at -1000 GPa raise, for each model of the row, what the row says."""
    cls, code, *field = names(row[1])
    messages = [m.lstrip("… ") for m in re.findall(r'"([^"]+)"', re.sub(r"`[^`]*`", "", row[1]))]
    for model in (thermal_model(c) for column in row[0].split(", ") for c in LEGEND[column][1]):
        for error in (raised(model.evaluate_scalar, "volume", -1000.0, 1500.0),
                      raised(model.volume_with_dac_confinement_scalar, -1000.0, 1500.0, 0.5)):
            assert (type(error).__name__, error.code, error.field) == (cls, code, field[1] if field else None)
            assert all(message in str(error) for message in messages)


# --- Hugoniot and losses --------------------------------------------------------------------------------------------

def test_hugoniot_table():
    hugoniot = HugoniotEos.linear_us_up(1 / 8.93, 8.93, 3.94, 1.49, 0.0)
    inputs = {"volume V": 0.9 / 8.93, "pressure P": 30.0, "particle velocity up": 1.0}
    rows = table("Hugoniot quantity")[1]
    assert {names(row[0])[0] for row in rows} == engine_vocabulary("core/hugoniot/hugoniot_quantity.cpp",
                                                                   "quantity_names")
    for row in rows:
        assert math.isfinite(hugoniot.evaluate_scalar(names(row[0])[0], inputs[row[1]]))


def test_loss_table():
    losses = [names(row[0])[0] for row in table("loss")[1]]
    assert set(losses) == engine_vocabulary("core/fit/loss.cpp", "loss_names")
    for loss in losses:
        result = fit_least_squares(lambda x: x - 1.5, np.array([0.5]), np.array([0.0]), np.array([3.0]), loss=loss)
        assert result.success and result.x[0] == pytest.approx(1.5, abs=1e-6)


# --- fit parameter names --------------------------------------------------------------------------------------------

def observations(model):
    volume = np.array([10.0, 10.5, 11.0])
    if isinstance(model, RtEos):
        return model.pressure_array(volume), volume, np.full(3, 0.1)
    temperature = np.array([500.0, 1000.0, 1500.0])
    return model.evaluate_array("pressure", volume, temperature), volume, temperature, np.full(3, 0.1)


def fit(model, name, value):
    """A fit of the one named parameter from value, with bounds either side of it."""
    native = fit_rt_eos_native if isinstance(model, RtEos) else fit_thermal_eos_native
    value, width = float(value), 0.5 * abs(value) or 1e-3
    return native(model, [name], np.array([value]), np.array([value - width]), np.array([value + width]),
                  *observations(model))


def check_fit_names(model, accepted, not_fitted=()):
    """Each accepted name (-> its current value) fits; every other name of the reference is refused."""
    for name, value in accepted.items():
        assert name in not_fitted or fit(model, name, value).success, name
    for name in sorted(EVERY_FIT_NAME - set(accepted)):
        with pytest.raises(FitValidationError, match="is unavailable for the native EOS"):
            fit(model, name, 1.0)


@pytest.mark.parametrize("constructor", sorted(ISOTHERMAL_NAMES))
def test_isothermal_fit_names(constructor):
    keywords = float_keywords(getattr(RtEos, constructor))
    assert [name.lower() for name in ISOTHERMAL_NAMES[constructor]] == keywords
    values = dict(zip(ISOTHERMAL_NAMES[constructor], (ISOTHERMAL_VALUES[k] for k in keywords)))
    check_fit_names(isothermal_model(constructor), values)


@pytest.mark.parametrize("constructor", sorted(THERMAL_NAMES))
def test_thermal_fit_names(constructor):
    keywords = float_keywords(getattr(ThermalEos, constructor))
    assert [name.lower() for name in THERMAL_NAMES[constructor]] == keywords
    current = thermal_keywords(constructor)
    values = {name: current[keyword] for name, keyword in zip(THERMAL_NAMES[constructor], keywords)}
    reference = THERMAL_ARGUMENTS[constructor][0]
    reference_kind = {"BM3": "bm3", "ModifiedTait": "modified_tait"}[reference.model_name]
    for name, keyword in zip(ISOTHERMAL_NAMES[reference_kind], float_keywords(getattr(RtEos, reference_kind))):
        values["rt_eos." + name] = ISOTHERMAL_VALUES[keyword]
    if constructor == "thermal_reference_state":
        # Under the reciprocal-cubic law dK_dT must stay zero: it is fitted under the linear law instead.
        linear = thermal_model(constructor, dk_dt=-0.02, bulk_modulus_law="linear_temperature", beta1=0.0, beta2=0.0,
                               beta3=0.0)
        assert fit(linear, "dK_dT", -0.02).success
        check_fit_names(thermal_model(constructor), values, not_fitted={"dK_dT"})
    else:
        check_fit_names(thermal_model(constructor), values)


# --- every other name in backquotes ---------------------------------------------------------------------------------

ALIASES = {"np": "numpy", "da": "dask.array", "errors": "nivaltus.errors"}
PROSE = re.sub(r"^```.*?^```", "", TEXT, flags=re.M | re.S).replace("\\`", "'")
CODE_IDENTIFIERS = set(re.findall(r"\w+", "".join(python_blocks(TEXT))))


def resolves(dotted):
    """Whether a dotted name is a module, or an attribute reached from one or from the engine's classes."""
    head, *rest = dotted.split(".")
    for start in range(len(rest), -1, -1):
        module_name = ".".join([ALIASES.get(head, head), *rest[:start]])
        try:
            value = importlib.import_module(module_name) if head not in vars(engine) else getattr(engine, head)
        except ImportError:
            continue
        try:
            for attribute in rest[start if head not in vars(engine) else 0:]:
                value = getattr(value, attribute)
        except AttributeError:
            return False
        return True
    return False


def in_engine_strings(name):
    return any(re.search(rf'"[^"\n]*{re.escape(name)}[^"\n]*"', source) for source in ENGINE_SOURCES.values())


def test_every_name_in_backquotes_is_the_module_s():
    """A name the tables above do not check (a class, a member in prose, an attribute, a variable of the
    environment) is one the module, Python or the recipe's libraries know: a misspelt one fails here."""
    known = set(dir(builtins)) | set(kwlist) | set(engine.__all__) | set(errors.__all__) | CODE_IDENTIFIERS
    known |= {name for name, _ in signature_entries(errors.NivaltusError)} | {"message"}
    for owner in [engine, *(getattr(engine, name) for name in engine.__all__)]:
        for name in dir(owner):
            member = getattr(owner, name)
            known.add(name)
            if callable(member) and getattr(member, "__text_signature__", None):
                known |= {parameter for parameter, _ in signature_entries(member)}
    vocabularies = [table("thermal quantity")[1], table("Hugoniot quantity")[1], table("loss")[1],
                    table("keyword")[1], table("column")[1], table("class")[1]]
    known |= {name for rows in vocabularies for row in rows for cell in row for name in names(cell)}
    known |= EVERY_FIT_NAME
    known |= {row[1].strip("`") for row in table("RtEos constructor")[1]}
    unknown = []
    for span in spans(PROSE):
        name = span.strip('"').split("(")[0].split("=")[0]
        if not re.fullmatch(r"[A-Za-z_][\w.]*", name) or name in known:
            continue
        if name.startswith("rt_eos."):
            if name[7:] in {n for row in ISOTHERMAL_NAMES.values() for n in row} | {""}:
                continue
        elif name.isupper() or name == "PanicException":
            if in_engine_strings(name):
                continue
        elif "." in name and resolves(name):
            continue
        unknown.append(span)
    assert not unknown


def test_representations():
    rows = {**dict(table("RtEos member")[1]), **dict(table("ThermalEos member")[1]),
            **dict(table("HugoniotEos member")[1])}
    examples = [names(text)[0] for entry, text in rows.items() if entry.startswith("`repr(")]
    models = {row[1].strip("`"): isothermal_model(row[0].strip("`")) for row in table("RtEos constructor")[1]}
    models |= {model_name: thermal_model(constructors[0]) for model_name, constructors in LEGEND.values()}
    for example in examples:
        if example.startswith("HugoniotEos("):
            fields = dict(re.findall(r"(\w+): ([-\d.e]+)", example))
            model = HugoniotEos.linear_us_up(**{key: float(value) for key, value in fields.items()})
        else:
            model = models[re.search(r"model_name='(\w+)'", example).group(1)]
        assert repr(model) == example


def test_status_messages():
    rows = table("`status`")[1]
    assert [row[0] for row in rows] == ["0", "1", "2", "3", "4"]
    for row in rows:
        for message in re.findall(r'"([^"]+)"', row[1].replace("\\`", "`")):
            assert in_engine_strings(message), message


# --- formulas, limits and field texts of the prose ------------------------------------------------------------------

FIELD_CODES = {name: names(row[1]) for row in table("field text")[1] for name in names(row[0])}
FIELD_TEXTS = set(names(PROSE))
TRS, DO = "thermal_reference_state", "dorogokupets_oganov_2007"
H, H_SLOW = HugoniotEos.linear_us_up(10.0, 2.5, 3.0, 1.5, 1.0), HugoniotEos.linear_us_up(10.0, 2.5, 3.0, 0.5, 1.0)


def test_holzapfel_coefficients_as_written():
    """c0, c2 by the written Fermi-gas formula give the model's K′ (a fine central difference); the written
    central difference is the module's."""
    constant = re.search(r"P_FG0 = ([\d.]+)·\(n·Z/\(10·V0\)\)\^\(5/3\) GPa", TEXT).group(1)
    assert "L = ln(3·K0/P_FG0),   c0 = −L,   c2 = 1.5·(K0′ − 3) + L." in TEXT
    block = next(b for b in python_blocks(TEXT) if "c2 = " in b)
    assert f"3 * k0 / ({constant} * (n * z / (10 * v0)) ** (5 / 3))" in block
    s = {}
    exec(block, s)
    k, p = s["model"].bulk_modulus_scalar, s["model"].pressure_scalar
    for v in (0.7, 0.95, 1.3):
        central = [(k(v * (1 + h)) - k(v * (1 - h))) / (p(v * (1 + h)) - p(v * (1 - h))) for h in (1e-6, s["eps"])]
        k_prime = engine.holzapfel_derivative_analytical(s["v0"], v, k(v), s["k0"], s["c0"], s["c2"])
        assert k_prime == pytest.approx(central[0], rel=1e-7)
        assert s["model"].bulk_modulus_derivative_scalar(v, s["eps"]) == pytest.approx(central[1], rel=1e-13)


def test_field_texts_are_the_engine_s():
    """Every field text of the engine's sources is a fit name, a listed text or a named internal one."""
    internal = set(re.findall(r'"([^"]+)"', re.search(r"Four more texts, (.*?), guard", TEXT, re.S).group(1)))
    in_sources = {text for source in ENGINE_SOURCES.values() for text in
                  re.findall(r'(?:fail|invalid)_(?:parameter|state)\(\s*"([^"]+)"', source)}
    assert in_sources - EVERY_FIT_NAME == (set(FIELD_CODES) | internal) - EVERY_FIT_NAME


REFUSALS = [  # a field text (under a code the field table gives it) or a code without field; the call refused
    ("eps", lambda: isothermal_model("holzapfel").bulk_modulus_derivative_scalar(10.0, 1.0)),
    ("KT", lambda: engine.holzapfel_derivative_analytical(11.24, 10.0, math.nan, 160.0, 1.0, 1.0)),
    ("oscillator multiplicities", lambda: thermal_model(DO, m_e2=9.0)),
    ("compressibility coefficient", lambda: thermal_model(TRS, beta2=math.nan)),
    ("Debye-function argument", lambda: thermal_model("mie_gruneisen_debye").evaluate_scalar("pressure", 10, 5e-324)),
    ("pressure", lambda: H.evaluate_scalar("volume", math.inf)),
    # the written limits, either side: K0′ > 0.726, K0·K0″ < −(1 + K0′), P ≥ P0 + ρ0·c0²/(1 − s)² = 91
    ("volume", lambda: RtEos.baonza(10, 160, 0.73).volume_scalar(-1e4)),
    ("eos.outside_invertible_range", lambda: RtEos.baonza(10, 160, 0.72).volume_scalar(-1e4)),
    ("volume", lambda: RtEos.modified_tait(10, 160, 4, -0.032).volume_scalar(-1e4)),
    ("eos.outside_invertible_range", lambda: RtEos.modified_tait(10, 160, 4, -0.030).volume_scalar(-1e4)),
    ("eos.outside_invertible_range", lambda: H_SLOW.evaluate_scalar("volume", 91.0)),
    ("eos.convergence_failed", lambda: BM3.volume_scalar(1e19)),
]


@pytest.mark.parametrize("expected, call", REFUSALS)
def test_refusals(expected, call):
    error = raised(call)
    assert isinstance(error, errors.NivaltusError)
    code, field = error.code, error.field
    assert (code, field) == (expected, None) if "." in expected else field == expected and code in FIELD_CODES[field]


def test_volume_inversion_tolerance():
    assert "accepts V when |P(V) − p| ≤ 1e-8·max(|p|, 1)" in FLAT
    assert "1e-8 * std::max(std::abs(target), 1.0)" in (ROOT / "core/root/bisect_bracket.hpp").read_text()
    assert all(abs(BM3.pressure_scalar(BM3.volume_scalar(p)) - p) <= 1e-8 * max(abs(p), 1) for p in (1e-6, 2, -1))
    assert BM3.volume_scalar(0.9e-10) == 11.24 != BM3.volume_scalar(2e-10)  # within 1e-10 of P(V0) = 0: V0 itself
    assert all(s in TEXT for s in ("K0′ > 0.726", "K0·K0″ < −(1 + K0′)", "for s < 1, P ≥ P0 + ρ0·c0²/(1 − s)²"))


FIT_EDGES = [  # model, name, initial, lower, upper: the field of the fit's refusal, or None for a fit that succeeds
    (thermal_model(TRS, bulk_modulus_law="linear_temperature", beta1=0.0, beta2=0.0, beta3=0.0, dk_dt=-0.02),
     "beta2", 0.0, 0.0, 1e-30, "beta coefficients"),
    (thermal_model(TRS), "dK_dT", 0.0, 0.0, 1e-30, "dK_dT"),
    (thermal_model(TRS), "beta2", 1e-9, -1.0, 1.0, "temperature"),
    (thermal_model(TRS), "beta2", 1e-9, 0.0, 1e-6, None),
    # multiplicities summing to 3n + 0.005: upper bounds adding up to more fail, a box that keeps the sum fits
    (thermal_model(DO, m_e2=1.505), "m_B1", 1.0, 0.9, 1.1, "oscillator multiplicities"),
    (thermal_model(DO, m_e2=1.505), "m_B1", 1.0, 0.99, 1.0, None),
]


@pytest.mark.parametrize("model, name, initial, lower, upper, field", FIT_EDGES)
def test_fits_at_the_domain_s_edge(model, name, initial, lower, upper, field):
    bounds = [np.array([value]) for value in (initial, lower, upper)]

    def run():
        return fit_thermal_eos_native(model, [name], *bounds, *observations(model))
    if field is None:
        assert run().success
    else:
        error = raised(run)
        assert isinstance(error, errors.FitEosValidationError) and error.field == field in FIELD_TEXTS


def test_a_best_value_outside_the_domain_ends_at_its_edge_with_success():
    bm2, volume = isothermal_model("bm2"), np.linspace(8.5, 11.2, 6)
    result = fit_rt_eos_native(bm2, ["K0"], np.array([100.0]), np.array([-1e3]), np.array([1e3]),
                               -bm2.pressure_array(volume), volume, np.full(6, 0.1))
    assert result.status == 2 and 0 < result.x[0] < 1e-5 and result.optimality > 1


@pytest.mark.parametrize("x, upper, steps", [(3.0, np.inf, [3 * 2**-26, -3 * 2**-26]), (0.0, 1.0, [2**-26]),
                                             (0.5, 0.5 + 1e-9, [(0.5 + 1e-9) - 0.5, -2**-26])])
def test_jacobian_step(x, upper, steps):
    assert "h = 2⁻²⁶·max(|x|, 1)" in TEXT
    seen = []
    fit_least_squares(lambda q: (seen.append(q[0]), q - 7.0)[1], *(np.array([v]) for v in (x, 0.0, upper)), max_nfev=1)
    assert [value - x for value in seen[1:]] == steps


def test_status_0_reports_the_start_of_the_last_iteration():
    start = (["K0", "K0_prime"], np.array([140.0, 4.5]), np.array([50.0, 2.0]), np.array([400.0, 8.0]))
    first, second = (fit_rt_eos_native(BM3, *start, *observations(BM3), max_nfev=budget) for budget in (1, 2))
    assert second.status == 0 and not np.array_equal(first.x, second.x) and first.optimality == second.optimality
    assert np.array_equal(first.jac, second.jac) and np.array_equal(first.parameter_covariance,
                                                                    second.parameter_covariance)
