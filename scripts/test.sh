#!/usr/bin/env bash
# The whole test run on a fresh machine: installs what is needed, then builds
# and tests a normal and a sanitizer build, then runs the fuzz targets for a
# few seconds each. Fails on the first failing test.
set -euo pipefail
cd "$(dirname "$0")/.."
# The set-up installs every tool and peer the tests need, so a test that
# would skip for a missing one fails instead, here as in CI.
export CI=${CI:-true}
scripts/setup.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
echo "== normal build"
scripts/build.sh normal
# The sanitizer build compiles, at the lowest priority, while the normal
# tests run: they mostly wait on windows, lines and the office, and the
# compiler takes the processor time they leave.
mkdir -p build
asan_log=build/asan-build.log
echo "== asan build (in the background, log in $asan_log)"
# A session of its own, so that a failed normal test takes the whole build
# down with the script.
setsid nice -n 19 scripts/build.sh asan >"$asan_log" 2>&1 &
asan_build=$!
trap 'kill -- -"$asan_build" 2>/dev/null || true' EXIT
echo "== normal tests"
ctest --test-dir build/normal --output-on-failure -j "$(nproc)"
if ! wait "$asan_build"; then
  tail -n 100 "$asan_log"
  echo "test.sh: the asan build failed (whole log in $asan_log)" >&2
  exit 1
fi
trap - EXIT
echo "== asan tests"
ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
echo "== fuzz targets"
scripts/fuzz.sh
