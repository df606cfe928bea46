#!/usr/bin/env bash
# Builds the fuzz harnesses with clang and runs each for a bounded time.
#
# Usage: bash fuzz/run.sh [seconds per harness, default 20]
# Each harness starts from a scratch copy of its seed corpus in fuzz/corpus/,
# so the repository is not modified. Exits non-zero when any harness finds a
# crash (its input is kept in the scratch directory, whose path is printed).
set -euo pipefail
seconds=${1:-20}
cd "$(dirname "$0")/.."
root=$(pwd)
build=${VARDELTA_FUZZ_BUILD:-$root/build-fuzz}

bash scripts/install-deps.sh

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARDELTA_FUZZ=ON >/dev/null
harnesses=(apply_patch verify_patch reloc version)
targets=()
for h in "${harnesses[@]}"; do targets+=("${h}_fuzzer"); done
cmake --build "$build" -j 2 --target "${targets[@]}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vardelta-fuzz-run.XXXXXX")
failed=()
for h in "${harnesses[@]}"; do
  corpus=$scratch/$h/corpus
  artifacts=$scratch/$h/artifacts
  mkdir -p "$corpus" "$artifacts" "$scratch/$h/tmp"
  cp fuzz/corpus/$h/* "$corpus"/
  echo "== ${h}_fuzzer for ${seconds}s"
  if TMPDIR=$scratch/$h/tmp \
     ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$build/fuzz/${h}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$scratch/$h/log" 2>&1; then
    grep -E 'DONE|stat::number_of_executed_units' "$scratch/$h/log" || true
  else
    echo "${h}_fuzzer FAILED; last lines of its log ($scratch/$h/log):"
    tail -n 40 "$scratch/$h/log"
    ls -l "$artifacts"
    failed+=("$h")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found crashes in: ${failed[*]} (inputs kept in $scratch)"
  exit 1
fi
rm -rf "$scratch"
echo "Fuzzing found nothing."
