#include "core/parallel/worker_pool.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <thread>

#include "core/internal_fault.hpp"

namespace nivaltus::parallel {
namespace {

// Enough chunks per worker to even out elements of unequal cost (root
// solves) without making the per-chunk bookkeeping visible.
constexpr std::size_t chunks_per_worker = 16;

thread_local bool is_pool_worker = false;

// A decimal integer written with digits only, `beyond` for one larger than
// std::size_t holds; 0 for anything else and for null.
std::size_t digits_value(const char* text, std::size_t beyond) {
  if (text == nullptr || *text == '\0') return 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
  }
  errno = 0;
  const unsigned long long value = std::strtoull(text, nullptr, 10);
  if (errno == ERANGE || value > std::numeric_limits<std::size_t>::max()) return beyond;
  return static_cast<std::size_t>(value);
}

// The process-wide pool and the flag of its creation. A forked child has
// none of the parent's threads: its slot is built anew (the old pool is
// abandoned, not destroyed, as its mutex may be held).
struct PoolSlot {
  std::once_flag created;
  WorkerPool* pool = nullptr;
};
PoolSlot pool_slot;

void forget_pool_in_child() { new (&pool_slot) PoolSlot(); }

// A detached thread running `start(pool)` with the given attributes (null
// for the system's defaults).
bool start_detached(const pthread_attr_t* attributes, void* (*start)(void*), void* pool) {
  pthread_t thread;
  if (pthread_create(&thread, attributes, start, pool) != 0) return false;
  if (attributes == nullptr) pthread_detach(thread);
  return true;
}

}  // namespace

std::size_t worker_count_setting(const char* text, std::size_t processors) {
  // A count too large to hold asks for more than the cap as well.
  const std::size_t requested = digits_value(text, std::numeric_limits<std::size_t>::max());
  if (requested == 0) return processors;
  return std::min(requested, max_workers_per_processor * processors);
}

std::size_t stack_size_setting(const char* text) {
  // A size too large to hold gives the default, not a stack the system would
  // have to refuse.
  const std::size_t requested = digits_value(text, 0);
  return requested == 0 ? default_stack_size : requested;
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

bool WorkerPool::on_worker_thread() { return is_pool_worker; }

WorkerPool& WorkerPool::instance() {
  static std::once_flag fork_handler_installed;
  std::call_once(fork_handler_installed, [] { pthread_atfork(nullptr, nullptr, forget_pool_in_child); });
  PoolSlot& slot = pool_slot;
  std::call_once(slot.created, [&slot] {
    const std::size_t workers =
        worker_count_setting(std::getenv("NIVALTUS_NUM_THREADS"), logical_processor_count());
    const std::size_t stack_size = stack_size_setting(std::getenv("NIVALTUS_MIN_STACK"));
    // Kept until the process ends; never destroyed, so exit needs no joins.
    slot.pool = new WorkerPool(workers, stack_size);
  });
  return *slot.pool;
}

WorkerPool::WorkerPool(std::size_t requested_workers, std::size_t stack_size) {
  pthread_attr_t attributes;
  const bool have_attributes = pthread_attr_init(&attributes) == 0;
  if (have_attributes) {
    // Stack sizes are rounded up to whole pages by the system; a size it
    // refuses here leaves the default.
    pthread_attr_setstacksize(&attributes, std::max<std::size_t>(stack_size, PTHREAD_STACK_MIN));
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  }
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < requested_workers; ++i) {
    // A stack the system cannot map (too large for the address space or the
    // memory limits) is retried with the default stack.
    const bool started = (have_attributes && start_detached(&attributes, &WorkerPool::worker_main, this)) ||
                         start_detached(nullptr, &WorkerPool::worker_main, this);
    if (!started) break;
    ++worker_count_;
    ++running_workers_;
  }
  if (have_attributes) pthread_attr_destroy(&attributes);
}

WorkerPool::~WorkerPool() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  work_available_.notify_all();
  worker_left_.wait(lock, [this] { return running_workers_ == 0; });
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
    work_available_.wait(lock, [this] { return !queue_.empty() || stopping_; });
    if (queue_.empty()) {
      --running_workers_;
      worker_left_.notify_all();
      return;
    }
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
  if (is_pool_worker || worker_count_ == 0) {
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

}  // namespace nivaltus::parallel
