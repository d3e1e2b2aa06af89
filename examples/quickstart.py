"""A short tour of nivaltus: an isothermal EOS, a volume inversion, a shock Hugoniot, and an error.

Run with `python3 examples/quickstart.py` in the environment that holds the package (see the README's
"Installing and a first example").
"""

import numpy as np

from nivaltus._engine import HugoniotEos, RtEos
from nivaltus.errors import EosValidationError

# Third-order Birch-Murnaghan EOS of MgO: V0 in J/bar (1 J/bar = 10 cm^3/mol), K0 in GPa. An isotherm alone
# also works in cm^3/mol or A^3 per cell, but not in m^3/mol, where its volume search meets an absolute floor
# of 1e-14; and the thermal models take volumes in J/bar: one in cm^3/mol under a thermal model would give
# thermal pressures ten times too small.
mgo = RtEos.bm3(v0=1.1248, k0=160.2, k0_prime=3.99)
print(mgo, "with V0 =", mgo.reference_volume)

volumes = np.linspace(1.1248, 0.8, 5)
print("V (J/bar):   ", volumes)
print("P (GPa):     ", mgo.pressure_array(volumes))
print("K (GPa):     ", mgo.bulk_modulus_array(volumes))

# Invert: the volume at 50 GPa, checked by evaluating the pressure there.
v50 = mgo.volume_scalar(50.0)
print(f"V(50 GPa) = {v50:.7f} J/bar, P(V) = {mgo.pressure_scalar(v50):.12f} GPa")

# Linear Us-up Hugoniot of copper: V0 in cm^3/g, rho0 in g/cm^3, c0 in km/s, P in GPa.
copper = HugoniotEos.linear_us_up(v0=1 / 8.93, rho0=8.93, c0=3.94, s=1.49, p0=0.0)
print(copper)
particle_velocities = np.array([0.5, 1.0, 2.0])
print("up (km/s):   ", particle_velocities)
print("P (GPa):     ", copper.evaluate_array("pressure_from_particle_velocity", particle_velocities))
print("Us (km/s):   ", copper.evaluate_array("shock_velocity_from_particle_velocity", particle_velocities))

# Failures are exceptions of nivaltus.errors with a stable code and the field concerned.
try:
    RtEos.bm3(v0=1.1248, k0=-160.2, k0_prime=3.99)
except EosValidationError as error:
    print(f"caught {type(error).__name__}: {error} (code={error.code!r}, field={error.field!r})")
