#!/usr/bin/env bash
# Builds VESPIN and runs every test: the sanitizer build of the core, a Release build of the
# core and companion, the fuzz targets, then the full build (core, companion, windows) and its
# installed tree. Every build treats a warning as an error.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

jobs=$(nproc)

# ctest over one build folder. A test that skipped itself fails the run: every condition a test
# waits for (remind, an X server with a window manager …) is installed by setup.sh.
run_tests() {
  local dir="$1"
  shift
  ctest --test-dir "$dir" --output-on-failure "$@" | tee "$dir/ctest.log"
  if grep -q "The following tests did not run" "$dir/ctest.log"; then
    echo "Some tests were skipped (see above); the test command runs every one." >&2
    return 1
  fi
}

echo "== Formatting =="
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== Core under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESPIN_WERROR=ON -DVESPIN_SANITIZE=ON \
  -DVESPIN_WITH_UI=OFF -DVESPIN_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_tests build-asan -j "$jobs"

# Inlining at -O3 shows warnings the other builds never see; the windows and tests are left out
# to keep the run short (the whole Release build takes about as long as the full build again).
echo "== Core, companion and iCalendar in Release =="
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESPIN_WERROR=ON \
  -DVESPIN_WITH_UI=OFF -DVESPIN_TESTS=OFF -DVESPIN_BENCH=OFF >/dev/null
cmake --build build-release -j "$jobs"

if [ -d fuzz ] && ls fuzz/*Fuzz.cpp >/dev/null 2>&1; then
  echo "== Fuzz targets =="
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESPIN_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DVESPIN_FUZZ=ON -DVESPIN_WITH_UI=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs"
  run_tests build-fuzz
fi

echo "== Full build =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESPIN_WERROR=ON >/dev/null
cmake --build build -j "$jobs"

echo "== Installed tree =="
./scripts/check-install.sh build

echo "== Tests of the full build =="
run_tests build -j "$jobs"
