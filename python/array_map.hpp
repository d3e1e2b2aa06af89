#pragma once
// Element-wise evaluation over float64 arrays of any shape. Up to a per-method
// threshold T the elements are evaluated in row-major order on the calling
// thread with the interpreter lock held, stopping at the first failure. Above
// it they are copied out, the lock is released and the worker pool evaluates
// them; the failure of the lowest index is reported. Element functions return
// std::expected<double, E> with E a core error value: they never touch
// Python, and the one failure reported becomes a Python exception on the
// calling thread, with the lock held. Either way the result is a new
// C-contiguous float64 array of the input's shape, or an error.

#include <cstddef>
#include <optional>
#include <utility>

#include "core/error.hpp"
#include "core/parallel/parallel_map.hpp"
#include "core/parallel/worker_pool.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/gil.hpp"
#include "python/result_array.hpp"

namespace nivaltus::python {

// The Python exception of an element's EosError, as a model method raises it.
struct EosErrorToPython {
  PyError operator()(const EosError& error) const { return to_python_error(error); }
};

// The serial/parallel split shared by the maps over n elements of the given
// shape. next() evaluates the next element in row-major order (lock held);
// copy_out(out) copies the inputs out of their arrays, the first into `out`,
// and returns the element function of an index for the workers.
template <class Next, class CopyOut, class ToPython>
PyObject* evaluate_elements(std::size_t n, int ndim, const npy_intp* shape, std::size_t threshold,
                            Next&& next, CopyOut&& copy_out, const ToPython& to_python) {
  ResultBuffer result = ResultBuffer::allocate(n);
  double* out = result.data();
  if (n <= threshold) {
    for (std::size_t k = 0; k < n; ++k) {
      auto outcome = next();
      if (!outcome) return raise(to_python(outcome.error()));
      out[k] = *outcome;
    }
  } else {
    // Evaluated in place: nothing reads the NumPy arrays while the lock is
    // released.
    const auto element = copy_out(out);
    auto failure = [&] {
      GilRelease unlocked;
      return parallel::map_in_place(parallel::WorkerPool::instance(), out, n, element);
    }();
    if (failure) return raise(to_python(*failure));
  }
  return std::move(result).into_array(ndim, shape);
}

// f: double -> std::expected<double, E>; pure, may run on any worker
// concurrently with itself. to_python: const E& -> PyError.
template <class F, class ToPython = EosErrorToPython>
PyObject* map_array(const ArrayView& input, std::size_t threshold, const F& f,
                    const ToPython& to_python = {}) {
  RowMajorCursor cursor(input);
  return evaluate_elements(
      input.size, input.ndim, input.shape, threshold, [&] { return f(cursor.next()); },
      [&](double* out) {
        input.copy_to(out);
        return [out, &f](std::size_t i) { return f(out[i]); };
      },
      to_python);
}

// The element-wise map over pairs of equal-shaped arrays: g(first_k, second_k)
// for every k. Shapes that differ in any way (no broadcasting) fail before
// any element is evaluated, empty arrays included.
template <class G, class ToPython = EosErrorToPython>
PyObject* map_array_pairs(const ArrayView& first, const ArrayView& second, std::size_t threshold, const G& g,
                          const ToPython& to_python = {}) {
  if (!first.same_shape(second)) {
    return raise(python_validation_error("native array inputs must have matching broadcasted shapes"));
  }
  RowMajorCursor first_cursor(first);
  RowMajorCursor second_cursor(second);
  return evaluate_elements(
      first.size, first.ndim, first.shape, threshold,
      [&] {
        const double a = first_cursor.next();
        const double b = second_cursor.next();
        return g(a, b);
      },
      [&](double* out) {
        first.copy_to(out);
        ResultBuffer second_values = ResultBuffer::allocate(first.size);
        second.copy_to(second_values.data());
        const double* b = second_values.data();
        return
            [out, b, second_values = std::move(second_values), &g](std::size_t i) { return g(out[i], b[i]); };
      },
      to_python);
}

}  // namespace nivaltus::python
