#include "core/parallel/parallel_map.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <expected>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/error.hpp"
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

TEST_P(PoolSizes, EveryElementIsStoredAtItsIndex) {
  WorkerPool pool(GetParam(), default_stack_size);
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{100'003}}) {
    std::vector<double> values(n, -1.0);
    const auto failure = map_in_place(
        pool, values.data(), n, [](std::size_t i) -> Outcome { return std::sqrt(static_cast<double>(i)); });
    EXPECT_FALSE(failure.has_value());
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(values[i], std::sqrt(static_cast<double>(i))) << i;
  }
}

// The failing index sets, each with its lowest member worked out by hand:
// a lone failure, failures in every chunk, failures only at the end, and
// every element failing.
struct FailingSet {
  const char* name;
  bool (*fails)(std::size_t);
  std::size_t lowest;
};

const FailingSet failing_sets[] = {
    {"one", [](std::size_t i) { return i == 77'777; }, 77'777},
    {"every 1000th from 5003", [](std::size_t i) { return i >= 5003 && i % 1000 == 3; }, 5003},
    {"last", [](std::size_t i) { return i == 99'999; }, 99'999},
    {"all", [](std::size_t) { return true; }, 0},
};

TEST_P(PoolSizes, ReportsTheLowestFailingIndex) {
  WorkerPool pool(GetParam(), default_stack_size);
  constexpr std::size_t n = 100'000;
  for (const FailingSet& set : failing_sets) {
    SCOPED_TRACE(set.name);
    std::vector<double> values(n, -1.0);
    const auto failure = map_in_place(pool, values.data(), n, [&set](std::size_t i) -> Outcome {
      if (set.fails(i)) return std::unexpected(Failure{i, "failed at " + std::to_string(i)});
      return 2.0 * static_cast<double>(i);
    });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->index, set.lowest);
    EXPECT_EQ(failure->text, "failed at " + std::to_string(set.lowest));
    // Everything below the reported failure was evaluated and stored.
    for (std::size_t i = 0; i < set.lowest; ++i) ASSERT_EQ(values[i], 2.0 * static_cast<double>(i)) << i;
  }
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
// calling thread after every chunk has finished.
TEST_P(PoolSizes, ForeignExceptionBecomesInternalFault) {
  WorkerPool pool(GetParam(), default_stack_size);
  std::vector<double> values(10'000);
  const auto map = [&] {
    (void)map_in_place(pool, values.data(), values.size(), [](std::size_t i) -> Outcome {
      if (i == 6000) throw std::runtime_error("element exploded");
      return 0.0;
    });
  };
  if (GetParam() == 0) {
    EXPECT_THROW(map(), std::runtime_error);  // inline: reaches the caller's own boundary as it is
  } else {
    try {
      map();
      ADD_FAILURE() << "no fault";
    } catch (const InternalFault& fault) {
      EXPECT_EQ(fault.message(), "element exploded");
    }
  }
  // The pool still works afterwards.
  EXPECT_FALSE(map_in_place(pool, values.data(), values.size(), [](std::size_t) -> Outcome { return 1.0; }));
}

INSTANTIATE_TEST_SUITE_P(Workers, PoolSizes, ::testing::Values(0, 1, 3, 64));

// The chunks run on the pool's own threads, several at once.
TEST(WorkerPool, ChunksRunOnWorkers) {
  WorkerPool pool(4, default_stack_size);
  ASSERT_EQ(pool.worker_count(), 4u);
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::atomic<bool> all_on_workers = true;
  std::size_t covered = 0;
  auto body = [&](std::size_t begin, std::size_t end) {
    if (!WorkerPool::on_worker_thread()) all_on_workers = false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::lock_guard lock(mutex);
    threads.insert(std::this_thread::get_id());
    covered += end - begin;
  };
  pool.parallel_for(4096, body);
  EXPECT_TRUE(all_on_workers);
  EXPECT_EQ(covered, 4096u);
  EXPECT_GT(threads.size(), 1u);
  EXPECT_FALSE(threads.contains(std::this_thread::get_id()));
}

// (text of NIVALTUS_NUM_THREADS, processors, worker count)
struct WorkerSetting {
  const char* text;
  std::size_t processors, workers;
};

TEST(WorkerPool, WorkerCountSetting) {
  const WorkerSetting settings[] = {
      {nullptr, 8, 8},
      {"3", 8, 3},
      {"33", 8, 32},  // the cap: 4 per processor
      {"100000", 2, 8},
      {"18446744073709551615", 1, 4},  // SIZE_MAX
      {"18446744073709551616", 8, 8},  // beyond SIZE_MAX
      {"-4", 8, 8},
      {"+4", 8, 8},
      {" 4", 8, 8},
      {"4.0", 8, 8},
      {"0x10", 8, 8},
  };
  for (const WorkerSetting& s : settings) {
    EXPECT_EQ(worker_count_setting(s.text, s.processors), s.workers) << (s.text ? s.text : "(unset)");
  }
}

TEST(WorkerPool, StackSizeSetting) {
  for (const char* text : {(const char*)nullptr, "0", "-1", "1m"})
    EXPECT_EQ(stack_size_setting(text), 2u << 20);
  EXPECT_EQ(stack_size_setting("1000000000000"), 1'000'000'000'000u);
}

}  // namespace
}  // namespace nivaltus::parallel
