#pragma once
// Scope guards for the interpreter lock. Both give the lock back (or take it
// back) on every path out of their scope, exceptions included.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// Releases the lock held by the calling thread for the guard's lifetime. Only
// pure C++ work on data copied out of Python objects may run inside it.
class GilRelease {
 public:
  GilRelease() : state_(PyEval_SaveThread()) {}
  ~GilRelease() { PyEval_RestoreThread(state_); }
  GilRelease(const GilRelease&) = delete;
  GilRelease& operator=(const GilRelease&) = delete;

 private:
  PyThreadState* state_;
};

// Attaches the calling thread to the interpreter and holds the lock for the
// guard's lifetime; a thread that already holds it keeps it unchanged.
class GilAcquire {
 public:
  GilAcquire() : state_(PyGILState_Ensure()) {}
  ~GilAcquire() { PyGILState_Release(state_); }
  GilAcquire(const GilAcquire&) = delete;
  GilAcquire& operator=(const GilAcquire&) = delete;

 private:
  PyGILState_STATE state_;
};

}  // namespace nivaltus::python
