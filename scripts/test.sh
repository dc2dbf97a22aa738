#!/usr/bin/env bash
# Installs what is missing, checks the format of every C++ file, builds, and runs every test:
# first the normal build (warnings are errors), then the whole suite again built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# A format fault fails the run at the end, after the builds and tests have still been run.
echo "== format (clang-format, the repository's .clang-format)"
format_status=0
find src tools tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror || format_status=1

echo "== build (warnings as errors)"
scripts/build.sh build/test -DONDEL_WERROR=ON
echo "== tests"
ctest --test-dir build/test --output-on-failure --timeout 300
echo "== fuzz targets (clang; each seed corpus replayed once)"
fuzz/run.sh --replay
echo "== Debian package"
tests/install/check-deb.sh build/test

echo "== sanitizer build (ASan + UBSan)"
scripts/build.sh build/asan -DONDEL_WERROR=ON -DONDEL_SANITIZE=ON -DONDEL_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
echo "== tests under sanitizers"
# The query-limit runs last a minute or more each and test pacing, not memory; the AT-SPI check
# reads accessible names and under the sanitizers' slower start its program has lost its display
# twice: the normal build runs them all.
# Leaks fail the run; scripts/lsan.supp lists the few that are Qt's own.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure --timeout 600 \
  -E '^(QueryLimit\.(Stock|Stricter|Outage)|atspi_monitor_fields)'
if ((format_status != 0)); then
  echo "== format check failed (see above): run clang-format -i on those files"
  exit 1
fi
