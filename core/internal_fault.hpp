#pragma once
// Internal faults: a violated invariant is not an error value. `panic` writes
// the fault report to standard error on the faulting thread and throws
// InternalFault; the boundary that called into the core catches it and turns
// it into that boundary's own signal of a fault.

#include <exception>
#include <source_location>
#include <string>
#include <string_view>

namespace nivaltus {

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
// and throws InternalFault. A fault raised while another one unwinds, or
// while this thread handles one, aborts.
[[noreturn]] void panic(std::string message, std::source_location where = std::source_location::current());

// Writes the report of a fault that was not raised through `panic` (a foreign
// exception reaching a boundary); throws nothing.
void write_fault_report(std::string_view message, const std::source_location& where);

// Writes the text and a newline to standard error and aborts the process.
[[noreturn]] void abort_with(std::string_view text) noexcept;

// Marks the calling thread as handling a fault for the scope's lifetime. A
// fault inside it cannot be reported safely: opening a second scope, or a
// panic, aborts with "thread panicked while processing panic. aborting.".
class FaultHandlingScope {
 public:
  FaultHandlingScope();
  ~FaultHandlingScope();
  FaultHandlingScope(const FaultHandlingScope&) = delete;
  FaultHandlingScope& operator=(const FaultHandlingScope&) = delete;
};

}  // namespace nivaltus
