#include "python/worker_pool.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>

#include "python/panic.hpp"

namespace nivaltus::python {
namespace {

constexpr std::size_t default_stack_size = 2 * 1024 * 1024;
// Enough chunks per worker to even out elements of unequal cost (root
// solves) without making the per-chunk bookkeeping visible.
constexpr std::size_t chunks_per_worker = 16;

thread_local bool is_pool_worker = false;
WorkerPool* pool_instance = nullptr;

// A positive decimal integer, or 0 when the variable is unset or malformed.
std::size_t positive_environment_value(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || text[0] == '-' || text[0] == '+') return 0;
  return static_cast<std::size_t>(value);
}

std::size_t logical_processor_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<std::size_t>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// The threads of the parent do not exist in a forked child: it starts afresh.
// The old pool is abandoned, not destroyed (its mutex may be held).
void forget_pool_in_child() { pool_instance = nullptr; }

}  // namespace

bool WorkerPool::on_worker_thread() { return is_pool_worker; }

WorkerPool& WorkerPool::instance() {
  if (pool_instance == nullptr) {
    static bool fork_handler_installed = false;
    if (!fork_handler_installed) {
      pthread_atfork(nullptr, nullptr, forget_pool_in_child);
      fork_handler_installed = true;
    }
    std::size_t workers = positive_environment_value("NIVALTUS_NUM_THREADS");
    if (workers == 0) workers = logical_processor_count();
    std::size_t stack_size = positive_environment_value("NIVALTUS_MIN_STACK");
    if (stack_size == 0) stack_size = default_stack_size;
    // Kept until the process ends; never destroyed, so exit needs no joins.
    pool_instance = new WorkerPool(workers, stack_size);
  }
  return *pool_instance;
}

WorkerPool::WorkerPool(std::size_t requested_workers, std::size_t stack_size) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) panic("could not initialise worker thread attributes");
  stack_size = std::max<std::size_t>(stack_size, PTHREAD_STACK_MIN);
  // Stack sizes are rounded up to whole pages by the system; a size it still
  // refuses leaves the default.
  pthread_attr_setstacksize(&attributes, stack_size);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  for (std::size_t i = 0; i < requested_workers; ++i) {
    pthread_t thread;
    if (pthread_create(&thread, &attributes, &WorkerPool::worker_main, this) != 0) break;
    ++worker_count_;
  }
  pthread_attr_destroy(&attributes);
  if (worker_count_ == 0) panic("could not start any worker thread");
}

void* WorkerPool::worker_main(void* pool) {
  is_pool_worker = true;
  static_cast<WorkerPool*>(pool)->work();
  return nullptr;
}

std::exception_ptr WorkerPool::run_chunk(const Job& job, std::size_t chunk) {
  const std::size_t begin = chunk * job.chunk_size;
  const std::size_t end = std::min(job.size, begin + job.chunk_size);
  try {
    job.function(job.context, begin, end);
    return nullptr;
  } catch (const InternalFault&) {
    return std::current_exception();
  } catch (const std::exception& fault) {
    // Reported here, on the thread where it happened.
    try {
      panic(fault.what());
    } catch (...) {
      return std::current_exception();
    }
  } catch (...) {
    try {
      panic("internal fault without a message");
    } catch (...) {
      return std::current_exception();
    }
  }
}

void WorkerPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_available_.wait(lock, [this] { return !queue_.empty(); });
    Job* job = queue_.front();
    const std::size_t chunk = job->next_chunk++;
    if (job->next_chunk == job->chunk_count) queue_.pop_front();
    lock.unlock();
    std::exception_ptr fault = run_chunk(*job, chunk);
    lock.lock();
    if (fault && !job->fault) job->fault = std::move(fault);
    // The job lives on its caller's stack: this is the last access to it.
    if (++job->done_chunks == job->chunk_count) chunk_done_.notify_all();
  }
}

void WorkerPool::run(std::size_t n, ChunkFunction function, void* context) {
  if (n == 0) return;
  if (is_pool_worker) {
    function(context, 0, n);
    return;
  }
  const std::size_t wanted_chunks = worker_count_ * chunks_per_worker;
  const std::size_t chunk_size = (n + wanted_chunks - 1) / wanted_chunks;
  Job job{.function = function,
          .context = context,
          .size = n,
          .chunk_size = chunk_size,
          .chunk_count = (n + chunk_size - 1) / chunk_size,
          .next_chunk = 0,
          .done_chunks = 0,
          .fault = nullptr};

  std::unique_lock lock(mutex_);
  queue_.push_back(&job);
  work_available_.notify_all();
  chunk_done_.wait(lock, [&job] { return job.done_chunks == job.chunk_count; });
  if (job.fault) std::rethrow_exception(job.fault);
}

}  // namespace nivaltus::python
