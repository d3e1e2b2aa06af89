#include "python/panic.hpp"

#include <new>
#include <source_location>
#include <string_view>

#include "python/py_ref.hpp"

namespace nivaltus::python {
namespace {

constexpr const char* panic_docstring =
    "Raised when native code called from Python hits an internal fault.\n\n"
    "Like SystemExit, it derives from BaseException, not from Exception, so that it\n"
    "usually propagates all the way up and ends the interpreter.";

constexpr std::string_view generic_fault_message = "internal fault without a message";

void set_panic_exception(std::string_view message) {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the failure to create the class stays set
  PyObject* text = new_str(message);
  if (text == nullptr) return;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

}  // namespace

PyObject* panic_exception_type() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    // Kept for the life of the process: the reference is never released.
    type = PyErr_NewExceptionWithDoc("nivaltus_runtime.PanicException", panic_docstring, PyExc_BaseException,
                                     nullptr);
  }
  return type;
}

void raise_panic_from_current_exception() noexcept {
  FaultHandlingScope handling;
  try {
    try {
      throw;
    } catch (const InternalFault& fault) {
      set_panic_exception(fault.message());
    } catch (const std::bad_alloc&) {
      abort_with("memory allocation failed");
    } catch (const std::exception& fault) {
      write_fault_report(fault.what(), std::source_location::current());
      set_panic_exception(fault.what());
    } catch (...) {
      write_fault_report(generic_fault_message, std::source_location::current());
      set_panic_exception(generic_fault_message);
    }
  } catch (...) {
    abort_with("thread panicked while processing panic. aborting.");
  }
}

}  // namespace nivaltus::python
