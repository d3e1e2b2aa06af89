#include "python/model_arguments.hpp"

#include "core/format_number.hpp"

namespace nivaltus::python {

std::string signature_argument(std::string_view name, const PythonDefault& fallback) {
  std::string text(name);
  switch (fallback.kind) {
    case PythonDefault::Kind::required:
      break;
    case PythonDefault::Kind::number:
      text += '=' + format_number(fallback.number);
      break;
    case PythonDefault::Kind::none:
      text += "=None";
      break;
  }
  return text;
}

std::string signature_text_argument(std::string_view name, std::string_view fallback) {
  std::string text(name);
  text += "=\"";
  text += fallback;
  text += '"';
  return text;
}

}  // namespace nivaltus::python
