#include "core/error.hpp"

#include <sstream>

namespace nivaltus {

void EosError::display(std::ostream& sink) const {
  switch (kind_) {
    case Kind::InvalidParameter:
      sink << "invalid parameter " << field_ << ": " << message_;
      return;
    case Kind::InvalidState:
      sink << "invalid state variable " << field_ << ": " << message_;
      return;
    case Kind::OutsideInvertibleRange:
      sink << "state is outside the model's invertible range";
      return;
    case Kind::BracketingFailed:
      sink << "failed to bracket a root";
      return;
    case Kind::ConvergenceFailed:
      sink << "numerical solver failed to converge";
      return;
    case Kind::NonFiniteResult:
      sink << "model returned a non-finite result";
      return;
  }
}

std::string EosError::to_string() const {
  std::ostringstream text;
  display(text);
  return text.str();
}

std::ostream& operator<<(std::ostream& sink, const EosError& error) {
  error.display(sink);
  return sink;
}

}  // namespace nivaltus
