#include "python/panic.hpp"
#include "python/py_ref.hpp"

#include <execinfo.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace nivaltus::python {
namespace {

constexpr const char* panic_docstring =
    "Raised when native code called from Python hits an internal fault.\n\n"
    "Like SystemExit, it derives from BaseException, not from Exception, so that it\n"
    "usually propagates all the way up and ends the interpreter.";

constexpr std::string_view generic_fault_message = "internal fault without a message";

// Set while this thread writes a report or builds PanicException: a second
// fault in that window cannot be reported safely.
thread_local bool handling_fault = false;

[[noreturn]] void abort_with(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::abort();
}

bool backtrace_requested() {
  const char* value = std::getenv("NIVALTUS_BACKTRACE");
  return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

void write_report(std::string_view message, const std::source_location& where) {
  // The process's main thread has the process id as its thread id; pool
  // workers and other threads carry no name of their own.
  const pid_t thread_id = gettid();
  const char* thread_name = thread_id == getpid() ? "main" : "<unnamed>";
  std::fprintf(stderr, "\nthread '%s' (%ld) panicked at %s:%u:%u:\n%.*s\n", thread_name,
               static_cast<long>(thread_id), where.file_name(), static_cast<unsigned>(where.line()),
               static_cast<unsigned>(where.column()), static_cast<int>(message.size()), message.data());
  if (backtrace_requested()) {
    void* frames[128];
    const int count = backtrace(frames, 128);
    std::fputs("stack backtrace:\n", stderr);
    std::fflush(stderr);
    backtrace_symbols_fd(frames, count, STDERR_FILENO);
  }
  std::fflush(stderr);
}

void set_panic_exception(std::string_view message) {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the failure to create the class stays set
  PyObject* text = new_str(message);
  if (text == nullptr) return;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

}  // namespace

void panic(std::string message, std::source_location where) {
  if (handling_fault || std::uncaught_exceptions() > 0) {
    abort_with("thread panicked while processing panic. aborting.");
  }
  handling_fault = true;
  write_report(message, where);
  handling_fault = false;
  throw InternalFault(std::move(message));
}

void allocation_failure(std::size_t bytes) noexcept {
  std::fprintf(stderr, "memory allocation of %zu bytes failed\n", bytes);
  std::fflush(stderr);
  std::abort();
}

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
  if (handling_fault) abort_with("thread panicked while processing panic. aborting.");
  handling_fault = true;
  try {
    try {
      throw;
    } catch (const InternalFault& fault) {
      set_panic_exception(fault.message());
    } catch (const std::bad_alloc&) {
      abort_with("memory allocation failed");
    } catch (const std::exception& fault) {
      write_report(fault.what(), std::source_location::current());
      set_panic_exception(fault.what());
    } catch (...) {
      write_report(generic_fault_message, std::source_location::current());
      set_panic_exception(generic_fault_message);
    }
  } catch (...) {
    abort_with("thread panicked while processing panic. aborting.");
  }
  handling_fault = false;
}

}  // namespace nivaltus::python
