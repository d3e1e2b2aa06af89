#include "core/parallel/parallel_map.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <expected>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/internal_fault.hpp"
#include "core/parallel/worker_pool.hpp"

namespace nivaltus::parallel {
namespace {

// A failure value that owns memory, as a fit's error may.
struct Failure {
  std::size_t index;
  std::string text;
};

using Outcome = std::expected<double, Failure>;

// The pool sizes under test: none (the calling thread maps), one, and more
// workers than this machine has processors.
class PoolSizes : public ::testing::TestWithParam<std::size_t> {};

// Every element fails, every 1000th from 5003, only the last, or none: the
// lowest is reported, and everything below it was evaluated and stored.
TEST_P(PoolSizes, ReportsTheLowestFailingIndex) {
  WorkerPool pool(GetParam(), default_stack_size);
  constexpr std::size_t n = 100'003;
  for (const std::size_t lowest : {std::size_t{0}, std::size_t{5003}, n - 1, n}) {
    std::vector<double> values(n, -1.0);
    const auto failure = map_in_place(pool, values.data(), n, [lowest](std::size_t i) -> Outcome {
      if (lowest == 0 || (i >= lowest && i % 1000 == lowest % 1000))
        return std::unexpected(Failure{i, std::to_string(i)});
      return std::sqrt(static_cast<double>(i));
    });
    EXPECT_EQ(failure ? failure->text : "none", lowest < n ? std::to_string(lowest) : "none");
    for (std::size_t i = 0; i < lowest; ++i) ASSERT_EQ(values[i], std::sqrt(static_cast<double>(i))) << i;
  }
  EXPECT_FALSE(map_in_place(pool, nullptr, 0, [](std::size_t) -> Outcome { return 0.0; }));
}

// A map started from inside an element runs inline on that worker.
TEST_P(PoolSizes, NestedMapsFinish) {
  WorkerPool pool(GetParam(), default_stack_size);
  std::vector<double> outer(64);
  const auto failure = map_in_place(pool, outer.data(), outer.size(), [&pool](std::size_t i) -> Outcome {
    std::vector<double> inner(100);
    if (map_in_place(pool, inner.data(), inner.size(),
                     [i](std::size_t j) -> Outcome { return static_cast<double>(i * j); })) {
      return std::unexpected(Failure{i, "inner"});
    }
    double sum = 0.0;
    for (double x : inner) sum += x;
    return sum;
  });
  EXPECT_FALSE(failure.has_value());
  for (std::size_t i = 0; i < outer.size(); ++i) EXPECT_EQ(outer[i], 4950.0 * static_cast<double>(i));
}

// A foreign exception in an element is an internal fault, rethrown on the
// calling thread; inline, it reaches the caller's own boundary as it is. The
// pool still works afterwards.
TEST_P(PoolSizes, ForeignExceptionBecomesInternalFault) {
  WorkerPool pool(GetParam(), default_stack_size);
  std::vector<double> values(10'000);
  std::string caught;
  try {
    (void)map_in_place(pool, values.data(), values.size(), [](std::size_t i) -> Outcome {
      if (i == 6000) throw std::runtime_error("element exploded");
      return 0.0;
    });
  } catch (const std::exception& e) {
    caught = (dynamic_cast<const InternalFault*>(&e) ? "fault: " : "as thrown: ") + std::string(e.what());
  }
  EXPECT_EQ(caught, std::string(GetParam() == 0 ? "as thrown: " : "fault: ") + "element exploded");
  EXPECT_FALSE(map_in_place(pool, values.data(), values.size(), [](std::size_t) -> Outcome { return 1.0; }));
}

INSTANTIATE_TEST_SUITE_P(Workers, PoolSizes, ::testing::Values(0, 1, 3, 64));

// The chunks run on the pool's own threads, several at once. A chunk waits
// for a second thread to arrive, so that a loaded machine which schedules one
// worker at a time cannot finish the map on the first; the wait ends for good
// after 10 seconds, so a pool that runs chunks one after another fails once.
TEST(WorkerPool, ChunksRunOnWorkers) {
  WorkerPool pool(4, default_stack_size);
  std::mutex mutex;
  std::condition_variable arrived;
  std::set<std::thread::id> threads;
  bool gave_up = false;
  auto body = [&](std::size_t, std::size_t) {
    std::unique_lock lock(mutex);
    threads.insert(std::this_thread::get_id());
    arrived.notify_all();
    const auto several = [&] { return threads.size() > 1 || gave_up; };
    if (!arrived.wait_for(lock, std::chrono::seconds(10), several)) gave_up = true;
  };
  pool.parallel_for(4096, body);
  EXPECT_GT(threads.size(), 1u);
  EXPECT_FALSE(threads.contains(std::this_thread::get_id()));
}

// Unset, plain (every digit from 0 to 9 among them), capped at 4 per
// processor up to SIZE_MAX itself and beyond it, zeros before small and large
// values, zero, empty and not all digits: (text, processors, workers).
TEST(WorkerPool, Settings) {
  const std::tuple<const char*, std::size_t, std::size_t> settings[] = {
      {nullptr, 8, 8},
      {"3", 8, 3},
      {"33", 8, 32},
      {"9", 8, 9},
      {"19", 8, 19},
      {"90", 30, 90},
      {"12345678", 2, 8},
      {"18446744073709551615", 8, 32},
      {"18446744073709551616", 8, 32},
      {"99999999999999999999999", 3, 12},
      {"0000000000000000000000003", 8, 3},
      {"0000000000000000000000018446744073709551616", 8, 32},
      {"00000", 8, 8},
      {"", 8, 8},
      {"-4", 8, 8},
  };
  for (const auto& [text, processors, workers] : settings) {
    EXPECT_EQ(worker_count_setting(text, processors), workers) << (text ? text : "(unset)");
  }
  // A size beyond SIZE_MAX is not one to ask the system for.
  for (const char* text : {(const char*)nullptr, "0", "1m", "18446744073709551616"}) {
    EXPECT_EQ(stack_size_setting(text), 2u << 20) << (text ? text : "(unset)");
  }
  EXPECT_EQ(stack_size_setting("1000000000000"), 1'000'000'000'000u);
  EXPECT_EQ(stack_size_setting("00000000000000000000001048576"), 1u << 20);
}

}  // namespace
}  // namespace nivaltus::parallel
