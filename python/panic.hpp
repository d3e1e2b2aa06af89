#pragma once
// Internal faults: a violated invariant is not an error value. `panic` writes
// the fault report to standard error on the faulting thread and throws
// InternalFault; every Python boundary (`guarded`) turns whatever unwinds to
// it into the Python exception PanicException.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <exception>
#include <source_location>
#include <string>

namespace nivaltus::python {

class InternalFault : public std::exception {
 public:
  explicit InternalFault(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// Writes the report
//   <empty line>
//   thread '<name>' (<id>) panicked at <file>:<line>:<column>:
//   <message>
// (plus a backtrace when NIVALTUS_BACKTRACE is set to anything but "" or "0")
// and throws InternalFault. A fault raised while another one unwinds aborts.
[[noreturn]] void panic(std::string message, std::source_location where = std::source_location::current());

// Writes "memory allocation of <bytes> bytes failed" and aborts the process.
[[noreturn]] void allocation_failure(std::size_t bytes) noexcept;

// Inside a catch block: sets PanicException for the exception being handled
// (reporting it first if it is not an InternalFault, which reported itself).
void raise_panic_from_current_exception() noexcept;

// The process-wide PanicException class (a direct subclass of BaseException),
// created on first use; null with a Python error set if it cannot be created.
PyObject* panic_exception_type();

// Runs `body` at a Python boundary. A Python error already set by `body` comes
// with its null/-1 result; a C++ exception becomes PanicException.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    raise_panic_from_current_exception();
    return nullptr;
  }
}

template <class Body>
int guarded_status(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    raise_panic_from_current_exception();
    return -1;
  }
}

}  // namespace nivaltus::python
