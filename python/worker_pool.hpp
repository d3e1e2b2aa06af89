#pragma once
// The process-wide pool of worker threads that runs the parallel array maps.
// It is created at the first parallel map and kept until the process ends:
// NIVALTUS_NUM_THREADS (a positive integer) sets the worker count, else one
// worker per logical processor available to the process; NIVALTUS_MIN_STACK
// (bytes) sets the workers' minimum stack size, else 2 MiB.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>

namespace nivaltus::python {

class WorkerPool {
 public:
  // Creates the pool on first use. Callers hold the interpreter lock, which
  // serialises creation; a forked child builds a pool of its own.
  static WorkerPool& instance();

  std::size_t worker_count() const { return worker_count_; }

  // Runs body(begin, end) over disjoint chunks covering [0, n) on the workers
  // and blocks until every chunk has run. If chunks throw, the first fault is
  // rethrown here after all have finished. On a pool worker the whole range
  // runs inline, so a map started from inside a map cannot deadlock.
  template <class Body>
  void parallel_for(std::size_t n, Body& body) {
    run(
        n,
        [](void* context, std::size_t begin, std::size_t end) { (*static_cast<Body*>(context))(begin, end); },
        &body);
  }

  static bool on_worker_thread();

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

 private:
  using ChunkFunction = void (*)(void*, std::size_t, std::size_t);

  struct Job {
    ChunkFunction function;
    void* context;
    std::size_t size;
    std::size_t chunk_size;
    std::size_t chunk_count;
    std::size_t next_chunk = 0;   // guarded by the pool mutex
    std::size_t done_chunks = 0;  // guarded by the pool mutex
    std::exception_ptr fault;     // guarded by the pool mutex
  };

  explicit WorkerPool(std::size_t requested_workers, std::size_t stack_size);
  void run(std::size_t n, ChunkFunction function, void* context);
  static void* worker_main(void* pool);
  void work();
  static std::exception_ptr run_chunk(const Job& job, std::size_t chunk);

  std::mutex mutex_;
  std::condition_variable work_available_;
  std::condition_variable chunk_done_;
  std::deque<Job*> queue_;  // jobs with unclaimed chunks, oldest first
  std::size_t worker_count_ = 0;
};

}  // namespace nivaltus::python
