#!/usr/bin/env bash
# The main job, from a fresh clone: builds both programs, makes a patch that
# turns samples/greeting-1.0.txt into samples/greeting-1.1.txt, applies it to
# a copy of the old file and checks that the result is the new file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j 2 --target Vardelta Varmend > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vardelta-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp samples/greeting-1.0.txt "$work/greeting.txt"

echo "== Vardelta: making the patch"
build/bin/Vardelta samples/greeting-1.0.txt samples/greeting-1.1.txt "$work/greeting.vlm"
echo
echo "== Varmend: bringing a copy of the old version up to date"
build/bin/Varmend "$work/greeting.txt" "$work/greeting.vlm" DIRECT
echo
cmp "$work/greeting.txt" samples/greeting-1.1.txt
echo "== The patched file is identical to samples/greeting-1.1.txt" \
     "($(stat -c %s "$work/greeting.vlm") byte patch for a $(stat -c %s samples/greeting-1.1.txt) byte file)."
