"""The reference's isotherms, Holzapfel K′ and isothermal limits: each written definition run as Python."""

import math
import re
from functools import reduce

import numpy as np
import pytest

from conftest import python_blocks
from nivaltus._engine import RtEos, holzapfel_derivative_analytical
from test_reference import FLAT, TEXT, float_keywords, names, outcome, raised, table

SYMBOLS = [*zip("−·^″′∞²³⁴⁵", ["-", "*", "**", "_pp", "_p", "inf", "**2", "**3", "**4", "**5"]), ("ln(", "log(")]
SYMBOL = dict(v0="V0", k0="K0", k0_prime="K0_p", k0_double_prime="K0_pp", k_infinity_prime="Kinf_p", n="n", z="Z")
PARAMETERS = dict(v0=11.24, k0=160.0, k0_prime=4.6, k0_double_prime=-0.031, k_infinity_prime=2.2, n=2.0, z=10.0)
ROWS = {names(row[0])[0]: row[1:] for row in table("isotherm")[1]}
HOLZAPFEL = re.search(r"P_FG0 = \S+", TEXT)[0] + ", " + re.search(r"L = ln\(.*?\+ L", TEXT)[0]


def run(written, scope):
    """scope with the text's definitions 'name = expression' (split at commas and lines) added in order."""
    python = lambda text: reduce(lambda text, pair: text.replace(*pair), SYMBOLS, text)  # noqa: E731
    for name, equals, expression in (p.partition(" = ") for p in re.split(r",\s+|\n", written.strip(" .\n"))):
        if equals:
            scope[python(name)] = eval(python(expression), scope | dict(exp=math.exp, log=math.log))
    return scope


def written(constructor, ratio=1.0, **changed):
    """The model and its row's variables at V = ratio·V0."""
    values = {**PARAMETERS, **changed}
    scope = run(HOLZAPFEL, {SYMBOL[k]: v for k, v in values.items()} | {"V": ratio * values["v0"]})
    model = getattr(RtEos, constructor)(**{k: values[k] for k in float_keywords(getattr(RtEos, constructor))})
    return model, run(ROWS[constructor][0], scope)


@pytest.mark.parametrize("constructor, k0_double_prime, edge, inside", [  # a domain's end, the side of it inside
    *((c, -0.031, None, 0) for c in ROWS), ("baonza", 0, "V0·exp(17/(3·K0′))", -1),
    ("modified_tait", 0.01, "(1 − a)·V0", 1), ("modified_tait", -0.04, "(1 − a)·V0", -1)])
def test_isotherms_as_written(constructor, k0_double_prime, edge, inside):
    for ratio in (0.4, 0.7, 0.97, 1.03, 1.3, 1.8):
        model, scope = written(constructor, ratio, k0_double_prime=k0_double_prime)
        assert [run(f"_ = {cell}", scope)["_"] for cell in ROWS[constructor][1:]] == pytest.approx(
            [model.pressure_scalar(scope["V"]), model.bulk_modulus_scalar(scope["V"])], rel=1e-12)
    if edge:
        end, text = run(f"_ = {edge}", scope)["_"], re.search(f'- `{constructor}`: .*?"(is outside [^"]+)"', FLAT)[1]
        error = raised(model.pressure_scalar, end * (1 - inside * 1e-9))
        assert f"V = {edge}" in FLAT and math.isfinite(model.pressure_scalar(end * (1 + inside * 1e-9)))
        assert (error.code, error.field, str(error)) == ("eos.invalid_state", "volume",
                                                         f"invalid state variable volume: {text}")


def test_holzapfel_k_prime_as_written():
    block, own = re.search(r"^```\n(x = .*?)^```", TEXT, re.M | re.S)[1], re.search(r"this is (K′ = .*?)\.\n", TEXT)[1]
    for ratio, factor, formula in [(0.3, 1, own), (0.8, -0.37, ""), (1.0, 1, own), (1.6, 2.0, "")]:
        model, s = written("holzapfel", ratio)
        k = factor * model.bulk_modulus_scalar(s["V"])
        assert run(f"{block}\n{formula}", s | {"K": k})["K_p"] == pytest.approx(
            holzapfel_derivative_analytical(s["V0"], s["V"], k, s["K0"], s["c0"], s["c2"]), rel=1e-12)


def test_modified_tait_search_stops_short_of_its_limit():
    """Above P at 0.8ᵐ·V0, the last search volume before the limit, the search fails though the model reaches it."""
    arguments, *shown = re.search(r"`modified_tait\((.*?)\)`: limit ([\d.]+), m = (\d+), every p above "
                                  r"P\(([\d.]+)\) = ([\de.]+)", FLAT).groups()
    model, scope = written("modified_tait", **dict(zip(SYMBOL, map(float, arguments.split(", ")))))
    limit, m = (1 - scope["a"]) * scope["V0"], math.floor(math.log(1 - scope["a"]) / math.log(0.8))
    last = 0.8**m * scope["V0"]
    threshold = model.pressure_scalar(last)
    assert list(map(float, shown)) == pytest.approx([limit, m, last, threshold], rel=1e-3)
    assert model.volume_scalar(threshold) == pytest.approx(last) and model.pressure_scalar(limit * 1.01) > threshold
    error = raised(model.volume_scalar, threshold * (1 + 1e-9))
    assert (error.code, error.field) == ("eos.invalid_state", "volume")


def test_epsilon_floor():
    assert "≤ 2⁻⁵⁴ ≈ 5.55e-17 rounds 1 + ε and 1 − ε to 1" in FLAT and f"{2**-54:.3g}" == "5.55e-17"
    assert 'K = 0 raises `EosNumericalError` code `"eos.non_finite_result"`, "model returned a non-finite' in FLAT
    model = written("holzapfel")[0]
    calls = [(model.bulk_modulus_derivative_scalar, v, eps) for v in (0.5, 11.24, 30.0) for eps in (1e-300, 2**-54)]
    for call, *arguments in calls + [(holzapfel_derivative_analytical, 11.24, 10.0, 0.0, 160.0, 1.0, 1.0)]:
        assert outcome(call, *arguments) == (
            "EosNumericalError", "eos.non_finite_result", "model returned a non-finite result")
    assert math.isfinite(model.bulk_modulus_derivative_scalar(9.1, math.nextafter(2**-54, 1)))  # the floor is sharp


def written_number(text):
    """'7·10⁻⁶', '10⁻³' or '3.4502' as a float."""
    return float(text.replace("·10⁻", "e-").replace("10⁻", "1e-").translate(str.maketrans("⁰¹²³⁴⁵⁶⁷⁸⁹", "0123456789")))


def test_choice_of_epsilon():
    """Each written worst error of the central K′ from 0.3 to 1.6 J/bar, against the closed form, holds and is not
    ten times too large."""
    paragraph = re.search(r"Choosing ε for .*?where the last digits matter", FLAT)[0]
    example = {}
    exec(next(block for block in python_blocks(TEXT) if "holzapfel_derivative_analytical(" in block), example)
    model, v0, k0, c0, c2 = (example[name] for name in ("model", "v0", "k0", "c0", "c2"))
    power = r"(?:[\d.]+·)?10⁻[⁰¹²³⁴⁵⁶⁷⁸⁹]+"
    pairs = re.findall(rf"({power}) at (?:ε = )?({power})", paragraph)
    assert len(pairs) == 6
    for worst, eps in ((written_number(w), written_number(e)) for w, e in pairs):
        errors = [abs(model.bulk_modulus_derivative_scalar(v, eps)
                      / holzapfel_derivative_analytical(v0, v, model.bulk_modulus_scalar(v), k0, c0, c2) - 1)
                  for v in np.linspace(0.3, 1.6, 27)]
        assert worst / 10 < max(errors) <= worst, eps
