"""Fitting equations of state to compression data: a third-order Birch-Murnaghan isotherm fitted to
pressure-volume points with pressure uncertainties, refitted with volume uncertainties as well (each point
then gets a latent "true" volume), a Mie-Grueneisen-Debye model fitted to pressure-volume-temperature
points, and the fitted parameters' covariance propagated to the pressure at one volume.

Units as in examples/thermal.py: volumes in J/bar (10 cm^3/mol), pressures in GPa, temperatures in K.
Where matplotlib is installed the script also draws the isotherm fit into a PNG file (the path given as
the first argument, else nivaltus_fit.png in the current directory).

    python examples/fit.py [figure.png]
"""

import sys
from pathlib import Path

import numpy as np

from nivaltus._engine import RtEos, ThermalEos, fit_rt_eos_native, fit_thermal_eos_native, linear_uncertainty

NAMES = ["V0", "K0", "K0_prime"]

# A synthetic MgO-like data set of 14 points up to about 110 GPa: pressures scattered by 0.1 GPa + 1 %,
# volumes by 0.1 %.
rng = np.random.default_rng(20)
truth = RtEos.bm3(1.1248, 160.2, 4.03)
volume_true = np.linspace(0.78, 1.12, 14)
pressure_sigma = 0.1 + 0.01 * truth.pressure_array(volume_true)
volume_sigma = 0.001 * volume_true
pressure = truth.pressure_array(volume_true) + rng.normal(0.0, pressure_sigma)
volume = volume_true + rng.normal(0.0, volume_sigma)

initial = np.array([1.10, 140.0, 4.5])
lower, upper = np.array([0.9, 50.0, 2.0]), np.array([1.3, 400.0, 8.0])


def report(title, names, result):
    """Parameters with standard errors (from the covariance implied by the stated uncertainties), the
    reduced chi-square and the correlation matrix."""
    k = len(names)
    covariance = result.parameter_covariance
    errors = np.sqrt(np.diag(covariance))
    correlation = covariance / np.outer(errors, errors)
    degrees_of_freedom = result.fun.size - result.x.size
    print(f"\n{title}: {result.message} ({result.nfev} evaluations)")
    for name, value, error in zip(names, result.x[:k], errors):
        print(f"  {name:>10} = {value:10.5g} +/- {error:.2g}")
    print(f"  reduced chi-square = {np.sum(result.fun ** 2) / degrees_of_freedom:.3f}")
    print("  correlations:")
    for name, row in zip(names, correlation):
        print(f"  {name:>10} " + " ".join(f"{value:+.3f}" for value in row))


isotherm = fit_rt_eos_native(RtEos.bm3(*initial), NAMES, initial, lower, upper, pressure, volume, pressure_sigma)
report("BM3 with pressure uncertainties", NAMES, isotherm)

latent = fit_rt_eos_native(RtEos.bm3(*initial), NAMES, initial, lower, upper, pressure, volume, pressure_sigma,
                           volume_sigma)
report("BM3 with pressure and volume uncertainties", NAMES, latent)
shift = (latent.x[3:] - volume) / volume_sigma
print(f"  latent volumes moved by {np.abs(shift).max():.2f} volume sigmas at most")

# Pressure-volume-temperature points of a Mie-Grueneisen-Debye solid on that isotherm; the fit adjusts
# K0 of the reference isotherm (prefix "rt_eos."), the Grueneisen parameter and its volume exponent.
mgd_truth = ThermalEos.mie_gruneisen_debye(truth, 300.0, 773.0, 1.524, 1.65, 2.0)
v_grid, t_grid = np.meshgrid(np.linspace(0.85, 1.12, 6), np.array([300.0, 1000.0, 1700.0, 2400.0]))
thermal_sigma = np.full(v_grid.size, 0.2)
thermal_pressure = mgd_truth.evaluate_array("pressure", v_grid, t_grid).ravel() + rng.normal(0.0, 0.2, v_grid.size)
thermal_names = ["rt_eos.K0", "gamma0", "q"]
start = ThermalEos.mie_gruneisen_debye(truth, 300.0, 773.0, 1.2, 1.0, 2.0)
thermal = fit_thermal_eos_native(start, thermal_names, np.array([150.0, 1.2, 1.0]), np.array([50.0, 0.1, -5.0]),
                                 np.array([400.0, 5.0, 10.0]), thermal_pressure, v_grid.ravel(), t_grid.ravel(),
                                 thermal_sigma)
report("Mie-Grueneisen-Debye with pressure uncertainties", thermal_names, thermal)


def pressure_jacobian(parameters, volumes):
    """dP/d(V0, K0, K0') of the BM3 isotherm at each volume, by central differences."""
    columns = []
    for j, value in enumerate(parameters):
        step = 1e-6 * abs(value)
        up, down = parameters.copy(), parameters.copy()
        up[j] += step
        down[j] -= step
        columns.append((RtEos.bm3(*up).pressure_array(volumes) - RtEos.bm3(*down).pressure_array(volumes)) / (2 * step))
    return np.column_stack(columns)


fitted = RtEos.bm3(*isotherm.x)
at = np.array([0.9])
propagated = linear_uncertainty(pressure_jacobian(isotherm.x, at), isotherm.parameter_covariance, np.zeros(1))
print(f"\nP({at[0]} J/bar) = {fitted.pressure_array(at)[0]:.3f} +/- {np.sqrt(propagated.variance[0]):.3f} GPa "
      "(1 sigma, parameter covariance propagated)")

try:
    import matplotlib
except ImportError:
    print("\nmatplotlib is not installed: figure skipped")
else:
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    grid = np.linspace(volume.min() - 0.01, 1.13, 200)
    curve = fitted.pressure_array(grid)
    band = np.sqrt(linear_uncertainty(pressure_jacobian(isotherm.x, grid), isotherm.parameter_covariance,
                                      np.zeros(grid.size)).variance)
    figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(6.4, 6.4), height_ratios=[3, 1])
    # The band is narrow beside 100 GPa: an inset shows it, and the error bars, around one point.
    zoom = top.inset_axes([0.56, 0.38, 0.3, 0.3])
    for axes in (top, zoom):
        axes.fill_between(grid, curve - band, curve + band, color="tab:blue", alpha=0.3,
                          label="propagated 1 sigma")
        axes.plot(grid, curve, color="tab:blue", label="fitted BM3")
        axes.errorbar(volume, pressure, yerr=pressure_sigma, fmt="o", color="black", markersize=4, capsize=2,
                      label="data")
    centre = np.argmin(np.abs(volume - 0.91))
    zoom.set_xlim(volume[centre] - 0.008, volume[centre] + 0.008)
    zoom.set_ylim(pressure[centre] - 1.5, pressure[centre] + 1.5)
    zoom.tick_params(labelsize=7)
    top.indicate_inset_zoom(zoom, edgecolor="gray")
    top.set_ylabel("pressure (GPa)")
    top.legend()
    bottom.axhline(0.0, color="tab:blue")
    bottom.plot(volume, -isotherm.fun, "o", color="black", markersize=4)
    bottom.set_xlabel("volume (J/bar)")
    bottom.set_ylabel("(P_obs - P_fit) / sigma")
    figure.tight_layout()
    output = Path(sys.argv[1] if len(sys.argv) > 1 else "nivaltus_fit.png")
    figure.savefig(output, dpi=120)
    print(f"\nfigure saved to {output}")
