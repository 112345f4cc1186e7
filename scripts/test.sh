#!/bin/sh
# Installs what is needed, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test, then builds the core and
# the tests of the worker threads (the scan driver, the work runner, the
# window tests when Qt is there) with ThreadSanitizer and runs those, and
# last runs every fuzz target for 20 seconds (scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSTONE_SANITIZE=ON
cmake --build build-test
(cd build-test &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j "$(nproc)")

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSTONE_TSAN=ON
cmake --build build-tsan
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j "$(nproc)")

scripts/fuzz.sh 20
