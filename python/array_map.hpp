#pragma once
// Element-wise evaluation over float64 arrays of any shape. Up to a per-method
// threshold T the elements are evaluated in row-major order on the calling
// thread with the interpreter lock held, stopping at the first failure. Above
// it they are copied out, the lock is released and the worker pool evaluates
// them; the failure of the lowest index is reported. Either way the
// result is a new C-contiguous float64 array of the input's shape, or an error.

#include <atomic>
#include <cstddef>
#include <limits>
#include <expected>
#include <mutex>
#include <optional>
#include <utility>

#include "core/error.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/gil.hpp"
#include "python/result_array.hpp"
#include "python/worker_pool.hpp"

namespace nivaltus::python {

// The failure of the lowest index among those offered by concurrent chunks.
// Its index is also published without the mutex, so that chunks can stop
// early: an element above a known failure can never be the one reported.
template <class Error>
class LowestFailure {
 public:
  void offer(std::size_t index, Error error) {
    std::optional<Error> dropped;  // destroyed after the mutex is released
    {
      std::lock_guard lock(mutex_);
      if (!error_ || index < index_) {
        dropped = std::exchange(error_, std::move(error));
        index_ = index;
        lowest_.store(index, std::memory_order_relaxed);
      } else {
        dropped.emplace(std::move(error));
      }
    }
  }
  // No failure is known below this index (SIZE_MAX when none is known).
  std::size_t lowest_known() const { return lowest_.load(std::memory_order_relaxed); }
  std::optional<Error>& error() { return error_; }

 private:
  std::mutex mutex_;
  std::size_t index_ = 0;
  std::atomic<std::size_t> lowest_{std::numeric_limits<std::size_t>::max()};
  std::optional<Error> error_;
};

// Stores evaluate(i) at values[i] for every i in [0, n) on the worker pool,
// with the interpreter lock released; returns the failure of the lowest index.
// The element functions are pure, so once a failure is known nothing above it
// needs evaluating: a chunk ends at its own first failure and skips what lies
// above a failure found by another chunk. Without this an input failing at
// every element (a misspelt quantity over a million values) would build a
// million Python exceptions only to drop all but one.
template <class Error, class Evaluate>
std::optional<Error> parallel_map_in_place(double* values, std::size_t n, const Evaluate& evaluate) {
  LowestFailure<Error> failure;
  auto chunk = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end && i < failure.lowest_known(); ++i) {
      auto outcome = evaluate(i);
      if (!outcome) {
        failure.offer(i, std::move(outcome.error()));
        return;
      }
      values[i] = *outcome;
    }
  };
  WorkerPool& pool = WorkerPool::instance();
  {
    GilRelease unlocked;
    pool.parallel_for(n, chunk);
  }
  return std::move(failure.error());
}

// f: double -> EosResult<double>; pure, may run on any worker concurrently
// with itself, never touches Python.
template <class F>
PyObject* map_array(const ArrayView& input, std::size_t threshold, const F& f) {
  const std::size_t n = input.size;
  ResultBuffer result = ResultBuffer::allocate(n);
  if (!result) return nullptr;
  double* out = result.data();
  if (n <= threshold) {
    RowMajorCursor cursor(input);
    for (std::size_t k = 0; k < n; ++k) {
      EosResult<double> outcome = f(cursor.next());
      if (!outcome) return raise(to_python_error(outcome.error()));
      out[k] = *outcome;
    }
  } else {
    // The input is copied into the result buffer and evaluated in place:
    // nothing reads the NumPy array while the lock is released.
    input.copy_to(out);
    if (auto failure = parallel_map_in_place<EosError>(out, n, [&](std::size_t i) { return f(out[i]); })) {
      return raise(to_python_error(*failure));
    }
  }
  return std::move(result).into_array(input.ndim, input.shape);
}

// g: (double, double) -> std::expected<double, PyError>; on a worker it builds
// its Python error through nivaltus_python_error, which takes the lock itself.
template <class G>
PyObject* map_array2(const ArrayView& first, const ArrayView& second, std::size_t threshold, const G& g) {
  if (!first.same_shape(second)) {
    return raise(python_validation_error("native array inputs must have matching broadcasted shapes"));
  }
  const std::size_t n = first.size;
  ResultBuffer result = ResultBuffer::allocate(n);
  if (!result) return nullptr;
  double* out = result.data();
  if (n <= threshold) {
    RowMajorCursor first_cursor(first);
    RowMajorCursor second_cursor(second);
    for (std::size_t k = 0; k < n; ++k) {
      const double a = first_cursor.next();
      const double b = second_cursor.next();
      std::expected<double, PyError> outcome = g(a, b);
      if (!outcome) return raise(std::move(outcome.error()));
      out[k] = *outcome;
    }
  } else {
    first.copy_to(out);
    ResultBuffer second_values = ResultBuffer::allocate(n);
    if (!second_values) return nullptr;
    const double* b = second_values.data();
    second.copy_to(second_values.data());
    if (auto failure =
            parallel_map_in_place<PyError>(out, n, [&](std::size_t i) { return g(out[i], b[i]); })) {
      return raise(std::move(*failure));
    }
  }
  return std::move(result).into_array(first.ndim, first.shape);
}

}  // namespace nivaltus::python
