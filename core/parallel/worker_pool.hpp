#pragma once
// A pool of worker threads that runs a body over disjoint chunks of an index
// range. The process-wide pool is created at its first use and kept until the
// process ends: NIVALTUS_NUM_THREADS (a positive integer, at most
// max_workers_per_processor per logical processor) sets the worker count,
// else one worker per logical processor available to the process;
// NIVALTUS_MIN_STACK (bytes) sets the workers' minimum stack size, else 2 MiB.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>

namespace nivaltus::parallel {

inline constexpr std::size_t default_stack_size = 2 * 1024 * 1024;
inline constexpr std::size_t max_workers_per_processor = 4;

// The worker count asked for by the text of NIVALTUS_NUM_THREADS (null when
// unset): a decimal integer of digits only, from 1 to
// max_workers_per_processor * processors, larger values (also those beyond
// std::size_t) giving that cap; anything else (empty, 0, a sign, other
// characters) gives `processors`.
std::size_t worker_count_setting(const char* text, std::size_t processors);

// The minimum stack size asked for by the text of NIVALTUS_MIN_STACK: a
// positive decimal integer of digits only that std::size_t holds, else
// default_stack_size.
std::size_t stack_size_setting(const char* text);

// Logical processors available to the process (at least 1).
std::size_t logical_processor_count();

class WorkerPool {
 public:
  // The process-wide pool, created by the first call from any thread with the
  // settings of the environment. A forked child builds a pool of its own.
  static WorkerPool& instance();

  // Starts up to `requested_workers` workers with stacks of at least
  // `stack_size` bytes. A worker that the system refuses that stack gets the
  // system's default one; a worker that cannot be started at all is left out,
  // so the pool may be smaller than asked, down to no worker at all.
  WorkerPool(std::size_t requested_workers, std::size_t stack_size);
  // Stops the workers and waits until they have left; no map may be running.
  ~WorkerPool();

  std::size_t worker_count() const { return worker_count_; }

  // Runs body(begin, end) over disjoint chunks covering [0, n) on the workers
  // and blocks until every chunk has run. If chunks throw, the first fault is
  // rethrown here after all have finished; an exception other than
  // InternalFault is reported on its own thread first and becomes one. The
  // whole range runs inline on the calling thread when the pool has no worker
  // or the caller is itself a worker, so a map started from inside a map
  // cannot deadlock.
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

  void run(std::size_t n, ChunkFunction function, void* context);
  static void* worker_main(void* pool);
  void work();
  static std::exception_ptr run_chunk(const Job& job, std::size_t chunk);

  std::mutex mutex_;
  std::condition_variable work_available_;
  std::condition_variable chunk_done_;
  std::condition_variable worker_left_;
  std::deque<Job*> queue_;           // jobs with unclaimed chunks, oldest first
  std::size_t worker_count_ = 0;     // workers started
  std::size_t running_workers_ = 0;  // guarded by the mutex
  bool stopping_ = false;            // guarded by the mutex
};

}  // namespace nivaltus::parallel
