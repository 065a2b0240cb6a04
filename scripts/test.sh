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
for kind in normal asan; do
  echo "== $kind build"
  scripts/build.sh "$kind"
  echo "== $kind tests"
  ctest --test-dir "build/$kind" --output-on-failure -j "$(nproc)"
done
echo "== fuzz targets"
scripts/fuzz.sh
