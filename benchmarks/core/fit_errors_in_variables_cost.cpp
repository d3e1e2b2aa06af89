// Cost of a structured fit as the point count grows: an errors-in-variables
// straight line (two global parameters, one latent abscissa per point) at
// 10^2 .. 10^5 points. Prints wall time, peak resident memory and the ratios
// between successive sizes; asserts only that every fit succeeds.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "core/fit/covariance.hpp"
#include "core/fit/least_squares.hpp"

namespace nivaltus::fit {
namespace {

struct Line {
  std::vector<double> x, y;

  FitResult<std::vector<double>> operator()(std::span<const double> p) const {
    const std::size_t n = x.size();
    std::vector<double> r(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
      r[i] = (y[i] - p[0] - p[1] * p[2 + i]) / 0.3;
      r[n + i] = (x[i] - p[2 + i]) / 0.2;
    }
    return r;
  }
};

struct Figures {
  double seconds;
  double peak_mib;
  std::size_t nfev;
  int status;
};

// Fits in a child process, so that its peak resident set is its own.
Figures measure(std::size_t points) {
  int channel[2];
  if (pipe(channel) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    Line line;
    for (std::size_t i = 0; i < points; ++i) {
      const double xi = 10.0 * static_cast<double>(i) / static_cast<double>(points);
      line.x.push_back(xi + 0.2 * std::sin(1.7 * static_cast<double>(i)));
      line.y.push_back(1.5 + 0.8 * xi + 0.3 * std::sin(2.9 * static_cast<double>(i) + 1.0));
    }
    std::vector<double> initial{0.0, 1.0};
    initial.insert(initial.end(), line.x.begin(), line.x.end());
    const std::vector<double> lower(initial.size(), -INFINITY), upper(initial.size(), INFINITY);
    SolverOptions options;
    // The fastest of several repetitions, about a million point-fits in all.
    const std::size_t repetitions = std::max<std::size_t>(3, 1000000 / points);
    double seconds = INFINITY;
    FitResult<SolverResult> result = std::unexpected(FitError::singular_system());
    bool covariance_ok = false;
    for (std::size_t k = 0; k < repetitions; ++k) {
      const auto start = std::chrono::steady_clock::now();
      result = least_squares_internal(initial, lower, upper, options, StructuredLayout{2, points, 1}, line);
      covariance_ok =
          result && parameter_covariance_structured(result->jac, StructuredLayout{2, points, 1}).has_value();
      seconds =
          std::min(seconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    Figures figures{seconds, static_cast<double>(usage.ru_maxrss) / 1024.0, result ? result->nfev : 0,
                    result && result->success && covariance_ok ? result->status : -1};
    [[maybe_unused]] const auto written = write(channel[1], &figures, sizeof figures);
    _exit(0);
  }
  close(channel[1]);
  Figures figures{};
  [[maybe_unused]] const auto read_bytes = read(channel[0], &figures, sizeof figures);
  close(channel[0]);
  waitpid(child, nullptr, 0);
  return figures;
}

TEST(FitCost, ErrorsInVariablesLineScalesLinearly) {
  std::printf("%10s %12s %12s %8s %8s %14s %14s\n", "points", "seconds", "peak MiB", "nfev", "status",
              "time ratio", "memory ratio");
  Figures previous{};
  for (const std::size_t points : {100u, 1000u, 10000u, 100000u}) {
    const Figures figures = measure(points);
    EXPECT_GE(figures.status, 1) << points;
    if (previous.seconds > 0.0) {
      std::printf("%10zu %12.4f %12.1f %8zu %8d %14.2f %14.2f\n", points, figures.seconds, figures.peak_mib,
                  figures.nfev, figures.status, figures.seconds / previous.seconds,
                  figures.peak_mib / previous.peak_mib);
    } else {
      std::printf("%10zu %12.4f %12.1f %8zu %8d %14s %14s\n", points, figures.seconds, figures.peak_mib,
                  figures.nfev, figures.status, "-", "-");
    }
    previous = figures;
  }
}

}  // namespace
}  // namespace nivaltus::fit
