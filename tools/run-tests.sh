#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Sets up, builds and runs every test: first the core under AddressSanitizer
# and UndefinedBehaviorSanitizer with the fuzzers (clang), then the whole kit
# (unit, pcscd, hid and GUI tests). Exits non-zero when any test fails.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$top/tools/install-deps.sh" || exit 1

san="$top/build-sanitize"
status=0
echo "== Sanitizer build (core, unit, pcscd, hid and fuzz tests)"
if CC=clang CXX=clang++ cmake -G Ninja -S "$top" -B "$san" -DCMAKE_BUILD_TYPE=Debug \
     -DBENCHKIT_GUI=OFF -DBENCHKIT_SANITIZE=ON -DBENCHKIT_FUZZ=ON -DBENCHKIT_BENCH=OFF >/dev/null &&
   ninja -C "$san" -j"$jobs"; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$san" --output-on-failure -j"$jobs" -L 'unit|pcscd|hid|fuzz' || status=1
else
  echo "run-tests: the sanitizer build failed"
  status=1
fi

main="$top/build"
echo "== Full build (all tests)"
if cmake -G Ninja -S "$top" -B "$main" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && ninja -C "$main" -j"$jobs"; then
  ctest --test-dir "$main" --output-on-failure -j"$jobs" || status=1
else
  echo "run-tests: the build failed"
  status=1
fi
exit $status
