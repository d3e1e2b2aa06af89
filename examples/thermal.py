"""A thermal equation of state: MgO as a Mie-Grueneisen-Debye solid over a Vinet isotherm.

Units: volumes in J/bar (1 J/bar = 10 cm^3/mol), pressures and bulk moduli in
GPa, temperatures in K, energies in J/mol. The thermal models turn an energy
over a volume into a pressure by dividing by 10000, which is J/bar -> GPa.

    python examples/thermal.py
"""

import numpy as np

from nivaltus._engine import RtEos, ThermalEos
from nivaltus.errors import EosValidationError

# Room-temperature isotherm: V0, K0, K0'.
isotherm = RtEos.vinet(1.1248, 160.2, 4.03)
# Reference temperature, Debye temperature, Grueneisen parameter and its volume
# exponent q, atoms per formula unit.
mgo = ThermalEos.mie_gruneisen_debye(isotherm, 300.0, 773.0, 1.524, 1.65, 2.0)
print(mgo)

# Pressure on a grid of volumes and temperatures: one call, any array shape.
volumes = np.linspace(0.85, 1.15, 7)
temperatures = np.array([300.0, 1000.0, 2000.0, 3000.0])
v_grid, t_grid = np.meshgrid(volumes, temperatures)
pressures = mgo.evaluate_array("pressure", v_grid, t_grid)
print("\nP(V, T) in GPa; rows T =", temperatures, "K, columns V =", volumes, "J/bar")
print(np.array2string(pressures, precision=2, suppress_small=True))

# Volume at 100 GPa and 2500 K ("volume" takes a pressure and a temperature),
# and what the model says there.
v = mgo.evaluate_scalar("volume", 100.0, 2500.0)
print(f"\nV(100 GPa, 2500 K) = {v:.5f} J/bar")
for quantity in ("thermal_pressure", "bulk_modulus", "thermal_expansivity", "gruneisen_parameter", "heat_capacity_p"):
    print(f"  {quantity:>20} = {mgo.evaluate_scalar(quantity, v, 2500.0):.6g}")

# A sample in a diamond-anvil cell held at a cold pressure of 40 GPa while
# heated: the cell takes up the share f_dac of the thermal pressure.
for f_dac in (0.0, 0.5, 0.9):
    confined = mgo.volume_with_dac_confinement_scalar(40.0, 2000.0, f_dac)
    print(f"confined volume at 40 GPa, 2000 K, f_dac = {f_dac}: {confined:.5f} J/bar")

# Failures are exceptions of nivaltus.errors carrying a code and a field.
try:
    mgo.volume_with_dac_confinement_scalar(40.0, 2000.0, 1.0)
except EosValidationError as error:
    print(f"\n{error.code} ({error.field}): {error}")
