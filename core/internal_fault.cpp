#include "core/internal_fault.hpp"

#include <execinfo.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nivaltus {
namespace {

constexpr std::string_view double_fault = "thread panicked while processing panic. aborting.";

// Set while this thread writes a report or hands a fault to its boundary.
thread_local bool handling_fault = false;

bool backtrace_requested() {
  const char* value = std::getenv("NIVALTUS_BACKTRACE");
  return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

}  // namespace

void abort_with(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::abort();
}

void write_fault_report(std::string_view message, const std::source_location& where) {
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

void panic(std::string message, std::source_location where) {
  if (std::uncaught_exceptions() > 0) abort_with(double_fault);
  {
    FaultHandlingScope reporting;
    write_fault_report(message, where);
  }
  throw InternalFault(std::move(message));
}

FaultHandlingScope::FaultHandlingScope() {
  if (handling_fault) abort_with(double_fault);
  handling_fault = true;
}

FaultHandlingScope::~FaultHandlingScope() { handling_fault = false; }

}  // namespace nivaltus
