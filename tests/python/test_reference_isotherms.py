"""The reference's isotherms, Holzapfel K′ and isothermal limits: each written definition run as Python."""

import math
import re
from decimal import Decimal, localcontext
from functools import cache, reduce

import numpy as np
import pytest

from conftest import python_blocks
from nivaltus._engine import RtEos, holzapfel_derivative_analytical
from test_reference import FLAT, TEXT, float_keywords, names, outcome, raised, table
from test_rt_eos import baonza_exact

SYMBOLS = [*zip("−·^″′∞²³⁴⁵", ["-", "*", "**", "_pp", "_p", "inf", "**2", "**3", "**4", "**5"]), ("ln(", "log(")]
SYMBOL = dict(v0="V0", k0="K0", k0_prime="K0_p", k0_double_prime="K0_pp", k_infinity_prime="Kinf_p", n="n", z="Z")
PARAMETERS = dict(v0=11.24, k0=160.0, k0_prime=4.6, k0_double_prime=-0.031, k_infinity_prime=2.2, n=2.0, z=10.0)
ROWS = {names(row[0])[0]: row[1:] for row in table("isotherm")[1]}
HOLZAPFEL = re.search(r"P_FG0 = \S+", TEXT)[0] + ", " + re.search(r"L = ln\(.*?\+ L", TEXT)[0]


def python(text):
    """The reference's notation as Python."""
    return reduce(lambda text, pair: text.replace(*pair), SYMBOLS, text)


def definitions(written):
    """The text's definitions 'name = expression' (split at commas and lines) as (name, expression) in Python."""
    return [(python(name), python(expression)) for name, equals, expression in
            (p.partition(" = ") for p in re.split(r",\s+|\n", written.strip(" .\n"))) if equals]


def run(written, scope):
    """scope with the text's definitions added in order."""
    for name, expression in definitions(written):
        scope[name] = eval(expression, scope | dict(exp=math.exp, log=math.log))
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


POWER = r"(?:[\d.]+·)?10⁻[⁰¹²³⁴⁵⁶⁷⁸⁹]+"  # a written figure such as 3.5·10⁻⁹ or 10⁻⁵
EPSILON_PARAGRAPH = re.search(r"Choosing ε for .*?where the last digits matter", FLAT)[0]


@cache
def holzapfel_example():
    """The reference's Holzapfel example run: its model, V0, K0, c0, c2 and K′ values."""
    example = {}
    exec(next(block for block in python_blocks(TEXT) if "holzapfel_derivative_analytical(" in block), example)
    return example


def holzapfel_strain_derivatives(x, c0, c2):
    """f′/E and f″/E of f = P/(3·K0) = (1 − x)·(1 + c2·x − c2·x²)·E/x⁵, E = exp(c0·(1 − x)), from f expanded
    in powers of x; E′ = −c0·E."""
    terms = {-5: 1, -4: c2 - 1, -3: -2 * c2, -2: c2}  # the powers of x in f/E and their factors
    u = sum(a * x**k for k, a in terms.items())
    u1 = sum(k * a * x ** (k - 1) for k, a in terms.items())
    u2 = sum(k * (k - 1) * a * x ** (k - 2) for k, a in terms.items())
    return u1 - c0 * u, u2 - 2 * c0 * u1 + c0 * c0 * u


def holzapfel_k_prime_exact(volume):
    """K′ = dK/dP = −(1 + x·f″/f′)/3 of the example's model at 40 digits (K = −(x/3)·dP/dx, x = (V/V0)^(1/3))."""
    e = holzapfel_example()
    with localcontext() as context:
        context.prec = 40
        x = ((Decimal(volume) / Decimal(e["v0"])).ln() / 3).exp()
        f1, f2 = holzapfel_strain_derivatives(x, Decimal(e["c0"]), Decimal(e["c2"]))
        return float(-(1 + x * f2 / f1) / 3)


def holzapfel_spinodal():
    """The volume where the example's K, and so f′, is zero, bisected at 40 digits."""
    e = holzapfel_example()
    with localcontext() as context:
        context.prec = 40
        low, high = Decimal("1.7"), Decimal("1.9")  # J/bar: K > 0 at 1.7, K < 0 at 1.9
        for _ in range(120):
            middle = (low + high) / 2
            x = ((middle / Decimal(e["v0"])).ln() / 3).exp()
            low, high = (middle, high) if holzapfel_strain_derivatives(x, Decimal(e["c0"]), Decimal(e["c2"]))[0] < 0 \
                else (low, middle)
        return float(low)


def test_choice_of_epsilon():
    """Each written bound on the central K′ from 0.3 to 1.6 J/bar holds at random volumes and is not ten times too
    large, and eleven times it holds from 1.6 to 1.8 J/bar; the ε called best has the smallest bound; the example's
    comment gives its K′'s error."""
    e = holzapfel_example()
    model = e["model"]
    pairs = re.findall(rf"({POWER}) at (?:ε = )?({POWER})", EPSILON_PARAGRAPH)
    assert len(pairs) == 7 and "between 1.6 and 1.8 J/bar, where K′ grows towards the spinodal, each is up to eleven " \
        "times larger" in EPSILON_PARAGRAPH
    rng = np.random.default_rng(20240607)
    low, high = rng.uniform(0.3, 1.6, 10000), rng.uniform(1.6, 1.8, 300)
    exact_low, exact_high = (np.array([holzapfel_k_prime_exact(v) for v in volumes]) for volumes in (low, high))
    bounds = {}
    for bound, eps in ((written_number(w), written_number(e)) for w, e in pairs):
        errors = np.abs(model.bulk_modulus_derivative_array(low, eps) / exact_low - 1)
        assert bound / 10 < errors.max() <= bound, eps
        assert np.abs(model.bulk_modulus_derivative_array(high, eps) / exact_high - 1).max() <= 11 * bound, eps
        bounds[eps] = bound
    assert min(bounds, key=bounds.get) == written_number(re.search(rf"an ε near ({POWER})", EPSILON_PARAGRAPH)[1])
    below = float(re.search(r"# ([\d.e-]+) \(relative\) below k_prime", TEXT)[1])
    assert e["k_prime_numerical"] / holzapfel_k_prime_exact(e["volume"]) - 1 == pytest.approx(-below, rel=0.01)


def test_holzapfel_closed_form_toward_the_spinodal():
    """The written bound C/(V_s − V) on the closed-form K′, given the model's K, at random volumes from the written
    lowest one to the spinodal, most of them near it; the written V_s and the figures the bound gives."""
    e = holzapfel_example()
    model = e["model"]
    spinodal = holzapfel_spinodal()
    assert f"V = V_s = {spinodal:.6f} J/bar" in EPSILON_PARAGRAPH
    c, lowest = re.search(r"is within ([\d.]+)·10⁻¹⁵/\(V_s − V\) \(V in J/bar\) of that K′ from V = ([\d.]+) J/bar",
                          EPSILON_PARAGRAPH).groups()
    c, lowest = float(c) * 1e-15, float(lowest)
    shown = re.search(rf"below ({POWER}) up to V = ([\d.]+), ({POWER}) at ([\d.]+) and ({POWER}) at ([\d.]+) short",
                      EPSILON_PARAGRAPH).groups()
    below, up_to, at, volume, near, distance = map(written_number, shown)
    assert c / (spinodal - up_to) <= below and c / (spinodal - volume) == pytest.approx(at, rel=0.01)
    assert c / distance == pytest.approx(near, rel=0.01)
    rng = np.random.default_rng(1729)
    for v in [*rng.uniform(lowest, 1.8, 300), *(spinodal - 10 ** rng.uniform(-9, -1, 300))]:
        k_prime = holzapfel_derivative_analytical(e["v0"], v, model.bulk_modulus_scalar(v), e["k0"], e["c0"], e["c2"])
        assert abs(k_prime / holzapfel_k_prime_exact(v) - 1) <= c / (spinodal - v), v


BAONZA = re.search(r"- `baonza`: .*?the `murnaghan` limit", FLAT)[0]


def test_baonza_near_v0_bound():
    """The written bound (a/K0′ + b)/|ln(V/V0)| on the relative error of the subtraction form within 10 % of V0, at
    random V0, K0, K0′ and volumes, and the two values written for it."""
    a, b, *shown = re.search(rf"it stays below \(({POWER})/K0′ \+ ({POWER})\)/\|ln\(V/V0\)\|: ({POWER}) at 0.99·V0 "
                             rf"with K0′ = 0.01, ({POWER}) at \(1 − 10⁻⁶\)·V0 with K0′ = 4", BAONZA).groups()
    a, b, at_099, at_1e6 = map(written_number, (a, b, *shown))
    assert (a / 0.01 + b) / -math.log(0.99) == pytest.approx(at_099, rel=0.01)
    assert (a / 4 + b) / 1e-6 == pytest.approx(at_1e6, rel=0.01)
    rng = np.random.default_rng(314)
    for i in range(240):
        k0_prime = (0.01, 4.0, 10 ** rng.uniform(-2, 1.3))[i % 3]
        ratio = (0.99, 1 - 1e-6, 1 + rng.choice([-1, 1]) * 10 ** rng.uniform(-9, -1))[i % 3]
        v0, k0 = rng.uniform(0.1, 100), 10 ** rng.uniform(0, 3)
        volume = ratio * v0
        pressure = baonza_exact(v0, k0, k0_prime, volume)[0]
        with localcontext() as context:
            context.prec = 30
            log_ratio = abs(float((Decimal(volume) / Decimal(v0)).ln()))
        error = abs(RtEos.baonza(v0, k0, k0_prime).pressure_scalar(volume) / pressure - 1)
        assert error <= (a / k0_prime + b) / log_ratio, (v0, k0, k0_prime, ratio)


def test_baonza_small_k0_prime_bounds():
    """The written bounds of the subtraction-free form for K0′ < 0.01, at random V0, K0, K0′ (down to the smallest
    double) and volumes from 10⁻³⁰⁰·V0 to 10³⁰⁰·V0, spread over z = −(3/17)·K0′·ln(V/V0)."""
    inner, reach, p_outer, k_compression, k_expansion = map(written_number, re.search(
        rf"both stay within ({POWER}) \(relative\) of the exact values where \|z\| ≤ ([\d.]+), .*? further out P stays "
        rf"within ({POWER})·\(1 \+ \|z\|\), and K within ({POWER}) in compression and ({POWER})/\(1 \+ z\) in "
        rf"expansion", BAONZA).groups())
    assert "For every K0′ from 0.01 down to the smallest double and V from 10⁻³⁰⁰·V0 to 10³⁰⁰·V0" in BAONZA
    largest = 300 * math.log(10)  # the largest |ln(V/V0)| written
    limit = re.search(rf"all of that range for K0′ ≤ ({POWER}) and 10⁻(\S+)·V0 to 10(\S+)·V0 at K0′ = 0.01", BAONZA)
    # |z| ≤ reach is |ln(V/V0)| ≤ reach·17/(3·K0′)
    assert written_number(limit[1]) == pytest.approx(reach * 17 / 3 / largest, rel=0.05)
    exponents = {int(e.translate(str.maketrans("⁰¹²³⁴⁵⁶⁷⁸⁹", "0123456789"))) for e in limit.groups()[1:]}
    assert exponents == {math.floor(reach * 17 / 3 / 0.01 / math.log(10))}
    rng = np.random.default_rng(2718)
    for i in range(300):
        k0_prime = min(10 ** rng.uniform(-4, -2) if i % 2 else 10 ** rng.uniform(-323.3, -2), 0.0099)
        if i % 5 == 4:
            k0_prime = math.nextafter(0.01, 0)  # where the largest errors were found
        v0, k0 = rng.uniform(0.1, 100), 10 ** rng.uniform(0, 3)
        z = rng.uniform(-reach, reach) if i % 4 < 2 else rng.uniform(-0.999, 1.2)
        log_ratio = float(np.clip(-z * 17 / 3 / k0_prime, -largest, largest))
        volume = v0 * math.exp(log_ratio)
        z = -3 / 17 * k0_prime * math.log(volume / v0)
        pressure, bulk_modulus = baonza_exact(v0, k0, k0_prime, volume)
        model = RtEos.baonza(v0, k0, k0_prime)
        errors = (abs(model.pressure_scalar(volume) / pressure - 1),
                  abs(model.bulk_modulus_scalar(volume) / bulk_modulus - 1))
        k_outer = k_compression if z >= 0 else k_expansion / (1 + z)
        assert errors[0] <= p_outer * (1 + abs(z)) and errors[1] <= k_outer, (v0, k0, k0_prime, z)
        assert abs(z) > reach or max(errors) <= inner, (v0, k0, k0_prime, z)
