#!/usr/bin/env bash
# scripts/build.sh KIND: configures and builds build/KIND, where KIND is
# "normal" or "asan" (AddressSanitizer + UndefinedBehaviorSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-normal}
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "$kind" in
  normal) ;;
  asan) flags+=(-DSTATION_SANITIZE=ON -DSTATION_BENCH=OFF) ;;
  *) echo "build.sh: unknown build kind '$kind' (normal or asan)" >&2; exit 2 ;;
esac
cmake -S . -B "build/$kind" "${flags[@]}" >/dev/null
cmake --build "build/$kind" -j "$(nproc)"
