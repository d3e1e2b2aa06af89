#!/usr/bin/env bash
# Builds everything and runs every test: the C++ core tests in a normal build
# and under AddressSanitizer + UndefinedBehaviorSanitizer, then the Python
# tests against the package installed into the Python that scripts/python_env.sh
# picks. Installs what a fresh machine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/python_env.sh
JOBS=${JOBS:-$(nproc)}
# pip's build of the package as well.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$JOBS}

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || command -v make >/dev/null || missing+=(make)
dpkg -s libgtest-dev >/dev/null 2>&1 || missing+=(libgtest-dev)
prepare_python "${missing[@]}"

if ! "$PYTHON" -c "import numpy, scipy, pytest, hypothesis, scikit_build_core, dask.array" 2>/dev/null; then
  echo "== installing Python test dependencies"
  # An installed NumPy stays as it is (the tests run on NumPy 1.x too); pip
  # then picks a SciPy that supports it.
  numpy=$("$PYTHON" -c "import numpy; print('numpy==' + numpy.__version__)" 2>/dev/null || echo numpy)
  "$PYTHON" -m pip install -q "$numpy" scipy pytest hypothesis scikit-build-core dask
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

run_core_tests() {
  local dir=$1
  shift
  echo "== core tests ($dir)"
  cmake -S . -B "$dir" "${generator[@]}" -DNIVALTUS_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS"
}

run_core_tests build-test -DCMAKE_BUILD_TYPE=Release
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_core_tests build-test-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIVALTUS_SANITIZE=ON

if [ -d tests/python ] && ls tests/python/test_*.py >/dev/null 2>&1; then
  echo "== installing the package"
  # The module is built against NumPy 2 and runs on NumPy 1.x as well: where
  # this environment's NumPy is older than 2, pip's isolated build brings
  # NumPy 2 for the build, and the tests run on the environment's NumPy.
  isolation=(--no-build-isolation)
  "$PYTHON" -c "import numpy, sys; sys.exit(int(numpy.__version__.split('.')[0]) < 2)" || isolation=()
  "$PYTHON" -m pip install -q --root-user-action=ignore "${isolation[@]}" .
  echo "== Python tests"
  # From the repository root, as a user runs them: the package's sources are
  # under src/, so the root on the path does not hide the installed package.
  "$PYTHON" -m pytest -q -p no:cacheprovider tests/python
fi
echo "== all tests passed"
