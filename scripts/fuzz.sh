#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]: builds every *_fuzz.cpp of the tree as a
# libFuzzer program (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 5) from a fixed seed, starting from the
# seed corpus committed in testdata/<target name>/ beside the target. Fails
# when a target crashes, leaks or trips a sanitizer; the input that did it
# is left in build/fuzz/ as crash-*, leak-* or timeout-*.
#
# The library a target uses is built with clang into build/fuzz, with
# coverage instrumentation for the fuzzer; only Durvalib and what it links
# are built there. A target of a folder above them names the sources it
# needs of its own folder in lines "// fuzz-source: PATH"; they are compiled
# into the target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-5}}
build=build/fuzz
jobs=${FUZZ_JOBS:-$(nproc)}

# -O1 with line tables only: quick to build, still fast to run, and every
# report names its source lines; assertions stay on.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link \
  -DSTATION_SANITIZE=ON -DSTATION_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target Durvalib >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
libs=()
for lib in Durvalib Widrak platform; do
  [ -e "$build/lib/lib$lib.so" ] && libs+=("-l$lib")
done

status=0
while IFS= read -r -d '' source; do
  name=$(basename "$source" .cpp)
  program="$build/bin/$name"
  mkdir -p "$build/bin"
  extra=()
  while IFS= read -r line; do extra+=("$line"); done < <(sed -n 's|^// fuzz-source: *||p' "$source")
  clang++ -std=c++20 -gline-tables-only -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. "$source" "${extra[@]}" -L"$build/lib" "${libs[@]}" -Wl,-rpath,"$PWD/$build/lib" -o "$program"
  seeds="$(dirname "$source")/testdata/$name"
  # New inputs go to a scratch folder, so the committed corpus stays as it is.
  scratch=$(mktemp -d)
  echo "== fuzz $name (${seconds}s)"
  if ! (cd "$build" && "$PWD/bin/$name" -seed=1 -max_total_time="$seconds" -timeout=10 \
          -rss_limit_mb=2048 -print_final_stats=1 "$scratch" "$OLDPWD/$seeds" 2>&1 | tail -n 15); then
    status=1
  fi
  rm -rf "$scratch"
done < <(find . -path ./build -prune -o -name '*_fuzz.cpp' -print0)
exit $status
