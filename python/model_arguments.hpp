#pragma once
// Python constructor arguments described by a model's parameter table: the
// argument names, their conversion in signature order and the text
// signature. A constructor's arguments are the table's parameters in table
// order, optionally preceded by the reference model ("rt_eos") and with text
// choices (law names) inserted before given parameters.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/parameter_table.hpp"
#include "python/arguments.hpp"

namespace nivaltus::python {

// A text argument with its default, placed before table parameter `before`.
struct TextArgument {
  const char* name;
  std::string_view fallback;
  std::size_t before;
};

// Where each Python argument comes from: the reference, a table parameter or
// a text choice.
struct ArgumentSource {
  enum class Kind : std::uint8_t { reference, parameter, text };
  Kind kind;
  std::size_t index;  // into the table or the text arguments
};

// The constructor's argument list: M = (reference ? 1 : 0) + N + T entries.
template <std::size_t M>
struct ArgumentLayout {
  std::array<const char*, M> names{};
  std::array<ArgumentSource, M> sources{};
  std::size_t required = 0;  // the arguments before the first default
};

template <bool WithReference, class Model, std::size_t N, std::size_t T = 0>
constexpr auto argument_layout(const ParameterTable<Model, N>& table,
                               const std::array<TextArgument, T>& texts = {}) {
  constexpr std::size_t M = (WithReference ? 1 : 0) + N + T;
  ArgumentLayout<M> layout;
  std::size_t position = 0;
  bool defaulted = false;
  const auto add = [&](const char* name, ArgumentSource source, bool has_default) {
    layout.names[position] = name;
    layout.sources[position] = source;
    ++position;
    defaulted = defaulted || has_default;
    if (!defaulted) layout.required = position;
  };
  if (WithReference) add("rt_eos", {ArgumentSource::Kind::reference, 0}, false);
  for (std::size_t i = 0; i <= N; ++i) {
    for (std::size_t t = 0; t < T; ++t) {
      if (texts[t].before == i) add(texts[t].name, {ArgumentSource::Kind::text, t}, true);
    }
    if (i < N) {
      add(table[i].python_name.data(), {ArgumentSource::Kind::parameter, i},
          table[i].python_default.kind != PythonDefault::Kind::required);
    }
  }
  return layout;
}

// Converted arguments: the table's values (a None argument leaves its value
// unset) and the text choices.
template <std::size_t N, std::size_t T>
struct ConvertedArguments {
  std::array<double, N> values{};
  std::array<bool, N> given{};
  std::array<std::string_view, T> texts{};

  std::optional<double> optional(std::size_t i) const {
    return given[i] ? std::optional<double>(values[i]) : std::nullopt;
  }
};

// Converts every argument but the reference in signature order; false with
// the interpreter's exception set at the first failure. An absent argument
// takes its default; None is accepted only where the default is None.
template <class Model, std::size_t N, std::size_t T, std::size_t M>
bool convert_arguments(const ParameterTable<Model, N>& table, const std::array<TextArgument, T>& texts,
                       const ArgumentLayout<M>& layout, std::span<PyObject* const> bound,
                       ConvertedArguments<N, T>& out) {
  for (std::size_t k = 0; k < M; ++k) {
    const ArgumentSource source = layout.sources[k];
    PyObject* object = bound[k];
    if (source.kind == ArgumentSource::Kind::text) {
      if (object == nullptr) {
        out.texts[source.index] = texts[source.index].fallback;
      } else if (!convert_text(object, layout.names[k], out.texts[source.index])) {
        return false;
      }
    } else if (source.kind == ArgumentSource::Kind::parameter) {
      const std::size_t i = source.index;
      const PythonDefault fallback = table[i].python_default;
      const bool none_default = fallback.kind == PythonDefault::Kind::none;
      out.values[i] = fallback.number;
      out.given[i] = !none_default;
      if (object == Py_None && none_default) continue;
      if (object != nullptr) {
        if (!convert_float(object, layout.names[k], out.values[i])) return false;
        out.given[i] = true;
      }
    }
  }
  return true;
}

// One argument of a text signature: "name", "name=1.0", "name=None",
// "name=\"text\"".
std::string signature_argument(std::string_view name, const PythonDefault& fallback);
std::string signature_text_argument(std::string_view name, std::string_view fallback);

// "name(a, b, c=1.0, d=\"text\", e=None)\n--\n\n", the text signature of the
// constructor.
template <class Model, std::size_t N, std::size_t T, std::size_t M>
std::string text_signature(std::string_view function, const ParameterTable<Model, N>& table,
                           const std::array<TextArgument, T>& texts, const ArgumentLayout<M>& layout) {
  std::string text(function);
  text += '(';
  for (std::size_t k = 0; k < M; ++k) {
    if (k > 0) text += ", ";
    const ArgumentSource source = layout.sources[k];
    switch (source.kind) {
      case ArgumentSource::Kind::reference:
        text += layout.names[k];
        break;
      case ArgumentSource::Kind::parameter:
        text += signature_argument(table[source.index].python_name, table[source.index].python_default);
        break;
      case ArgumentSource::Kind::text:
        text += signature_text_argument(texts[source.index].name, texts[source.index].fallback);
        break;
    }
  }
  text += ")\n--\n\n";
  return text;
}

}  // namespace nivaltus::python
