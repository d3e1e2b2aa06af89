"""Equations of state of solids under pressure.

The compiled engine lives in :mod:`nivaltus._engine`; every failure it reports
is an exception of :mod:`nivaltus.errors`. Importing the package does not
import NumPy: the engine loads it at the first array operation.
"""

from . import errors

__all__ = ["errors"]
