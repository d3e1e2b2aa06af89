"""Exceptions raised by nivaltus.

Every failure reported by the engine is an instance of :class:`NivaltusError`
carrying a stable machine-readable ``code`` (for example
``"eos.invalid_parameter"``), the ``operation`` that failed (``"eos"`` or
``"fit"``, when known) and the ``field`` it concerns (a parameter or state
variable in physics notation such as ``"K0_prime"`` or ``"volume"``, when there
is one)::

    NivaltusError
    ├── ValidationError             (also a ValueError) bad input
    │   ├── EosValidationError      EOS parameter or state outside the model's domain
    │   └── FitValidationError      inconsistent fit inputs
    ├── UnsupportedOperationError   operation the chosen model does not offer
    ├── ConfigurationError          (also a ValueError) incompatible combination of models
    ├── EosNumericalError           EOS evaluation or inversion failed numerically
    └── FitError                    a fit failed while running
        ├── FitNumericalError       singular linear system
        ├── FitEosValidationError   (also an EosValidationError) EOS rejected a trial state
        └── FitEosNumericalError    (also an EosNumericalError) EOS failed numerically in a fit

Code, operation and field are attributes; ``str(error)`` is the message.
"""

from __future__ import annotations

__all__ = [
    "NivaltusError",
    "ValidationError",
    "UnsupportedOperationError",
    "ConfigurationError",
    "EosValidationError",
    "EosNumericalError",
    "FitValidationError",
    "FitError",
    "FitNumericalError",
    "FitEosValidationError",
    "FitEosNumericalError",
]


class NivaltusError(Exception):
    """Base class of every error that nivaltus raises."""

    def __init__(
        self,
        message: str,
        *,
        code: str | None = None,
        operation: str | None = None,
        field: str | None = None,
    ) -> None:
        super().__init__(message)
        self.message = message
        self.code = code
        self.operation = operation
        self.field = field


class ValidationError(NivaltusError, ValueError):
    """An argument was rejected (shape, keyword value, missing value)."""


class UnsupportedOperationError(NivaltusError):
    """The chosen model does not offer the requested operation."""


class ConfigurationError(NivaltusError, ValueError):
    """Models were combined in a way that is not supported."""


class EosValidationError(ValidationError):
    """An EOS parameter or state lies outside the model's domain, or no root could be bracketed."""


class EosNumericalError(NivaltusError):
    """An EOS evaluation did not converge or gave a non-finite result."""


class FitValidationError(ValidationError):
    """The inputs of a fit are inconsistent."""


class FitError(NivaltusError):
    """A fit failed while running."""


class FitNumericalError(FitError):
    """The fit's linear system is singular."""


class FitEosValidationError(FitError, EosValidationError):
    """The EOS rejected a state or parameter during a fit."""


class FitEosNumericalError(FitError, EosNumericalError):
    """The EOS failed numerically during a fit."""
