#pragma once
// Element-wise evaluation of a pure function of the index into an array of
// doubles on a worker pool, reporting the failure of the lowest index.

#include <atomic>
#include <cstddef>
#include <limits>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "core/parallel/worker_pool.hpp"

namespace nivaltus::parallel {

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

// The error type of an element function returning std::expected<double, E>.
template <class Evaluate>
using ElementError = typename std::invoke_result_t<const Evaluate&, std::size_t>::error_type;

// Stores evaluate(i) at values[i] for every i in [0, n) on the pool and
// returns the error of the lowest failing index, nullopt when none fails.
// evaluate: std::size_t -> std::expected<double, E>, pure, run concurrently
// with itself on any worker. Once a failure is known nothing above it needs
// evaluating: a chunk ends at its own first failure and skips what lies above
// a failure found by another chunk. Every index below the reported one was
// evaluated and stored; values at and above it are unspecified.
template <class Evaluate>
std::optional<ElementError<Evaluate>> map_in_place(WorkerPool& pool, double* values, std::size_t n,
                                                   const Evaluate& evaluate) {
  LowestFailure<ElementError<Evaluate>> failure;
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
  pool.parallel_for(n, chunk);
  return std::move(failure.error());
}

}  // namespace nivaltus::parallel
