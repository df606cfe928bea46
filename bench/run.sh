#!/usr/bin/env bash
# Benchmark of Vardelta and Varmend against xdelta3, bsdiff and zstd on real
# and pathological file pairs: patch size, time and peak memory to make and to
# apply each patch, every result checked with cmp.
#
# Usage: bash bench/run.sh [pair ...]      (default: every pair)
#   BENCH_TIMEOUT  seconds one run may take before it counts as a timeout (300)
#   BENCH_DIR      where the corpus and the work files go (build-bench/)
# The real pairs are files from pinned versions of Debian packages, fetched
# with `apt-get download NAME=VERSION`; the pathological pairs are generated.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
timeout_s=${BENCH_TIMEOUT:-300}
dir=${BENCH_DIR:-$root/build-bench}

bash scripts/install-deps.sh
tools=(xdelta3 bsdiff zstd time)
missing=()
for t in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$t" 2>/dev/null | grep -q "install ok installed" || missing+=("$t")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
cmake -S . -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$dir/build" -j 2 --target Vardelta Varmend > /dev/null
bin=$dir/build/bin

# name | package | old version | new version | file (a find -name pattern; gz: decompresses)
real_pairs="
libssl|libssl3|3.0.17-1~deb12u2|3.0.22-1~deb12u2|libssl.so.3
libcrypto|libssl3|3.0.17-1~deb12u2|3.0.22-1~deb12u2|libcrypto.so.3
curl|curl|7.88.1-10+deb12u5|7.88.1-10+deb12u15|curl
libc|libc6|2.36-9+deb12u7|2.36-9+deb12u14|libc.so.6
libxml2|libxml2|2.9.14+dfsg-1.3~deb12u4|2.9.14+dfsg-1.3~deb12u6|libxml2.so.2.*
libpython|libpython3.11|3.11.2-6+deb12u8|3.11.2-6+deb12u9|libpython3.11.so.1.0
libgs|libgs10|10.0.0~dfsg-11+deb12u8|10.0.0~dfsg-11+deb12u9|libgs.so.10.*
changelog|curl|7.88.1-10+deb12u5|7.88.1-10+deb12u15|gz:changelog.Debian.gz
"

# Extracts the file of one package version into $dir/corpus/<name>.<old|new>.
fetch() {
  local name=$1 package=$2 version=$3 pattern=$4 side=$5
  local target=$dir/corpus/$name.$side
  [ -s "$target" ] && return 0
  local unpack=$dir/unpack/$package-$version
  if [ ! -d "$unpack" ]; then
    mkdir -p "$dir/debs" "$unpack"
    # apt warns that it downloads as root where its own user cannot write.
    (cd "$dir/debs" && apt-get download -q "$package=$version" > /dev/null 2>&1)
    dpkg-deb -x "$dir/debs/${package}_${version#*:}"_*.deb "$unpack" 2>/dev/null ||
      dpkg-deb -x "$(ls "$dir/debs/${package}_"*"$(echo "${version#*:}" | sed 's/:/%3a/')"*.deb | head -n 1)" "$unpack"
  fi
  local file
  file=$(find "$unpack" -type f -name "${pattern#gz:}" | head -n 1)
  [ -n "$file" ] || { echo "no $pattern in $package $version" >&2; return 1; }
  mkdir -p "$dir/corpus"
  if [ "${pattern#gz:}" != "$pattern" ]; then zcat "$file" > "$target"; else cp "$file" "$target"; fi
}

generate_pathological() {
  mkdir -p "$dir/corpus"
  [ -s "$dir/corpus/runs.new" ] && return 0
  python3 - "$dir/corpus" <<'PY'
import random, sys
out = sys.argv[1]
rng = random.Random(4)
def scatter(data, count):
    data = bytearray(data)
    for _ in range(count):
        data[rng.randrange(len(data))] = rng.getrandbits(8)
    return bytes(data)
size = 8 << 20
zeros = bytes(size)
pairs = {
    "zeros": (scatter(zeros, 2000), scatter(zeros, 2000)),
    "period4": (scatter(b"\x12\x34\x56\x78" * (size // 4), 200), scatter(b"\x12\x34\x56\x78" * (size // 4), 200)),
}
runs = bytearray()
while len(runs) < size:
    runs += bytes([rng.getrandbits(8)]) * rng.randrange(1000, 100000)
runs = bytes(runs[:size])
pairs["runs"] = (runs, scatter(runs[:size // 2] + runs[size // 2 + 4096:], 500))
for name, (old, new) in pairs.items():
    open("%s/%s.old" % (out, name), "wb").write(old)
    open("%s/%s.new" % (out, name), "wb").write(new)
PY
}

# Runs one command under the timeout; prints "seconds peak-MB", or "timeout".
measure() {
  local log=$dir/time.log
  if timeout "$timeout_s" /usr/bin/time -f "%e %M" -o "$log" "$@" > /dev/null 2>&1; then
    awk '{ printf "%.2f %.0f", $1, $2 / 1024 }' "$log"
  else
    echo "timeout -"
  fi
}

row() {
  local label=$1 make_cmd=$2 apply_cmd=$3 old=$4 new=$5
  local work=$dir/work
  rm -rf "$work" && mkdir -p "$work"
  local made applied size ok
  made=$(cd "$work" && eval "measure $make_cmd")
  if [ "${made%% *}" = timeout ]; then
    printf "| %-22s | %12s | %9s | %7s | %9s | %8s | %-4s |\n" "$label" - timeout - - - -
    return
  fi
  size=$(stat -c %s "$work/patch")
  applied=$(cd "$work" && eval "measure $apply_cmd")
  ok=no
  cmp -s "$work/out" "$new" && ok=yes
  printf "| %-22s | %12s | %9s | %7s | %9s | %8s | %-4s |\n" "$label" "$size" "${made% *}" "${made#* }" \
    "${applied% *}" "${applied#* }" "$ok"
}

table() {
  local name=$1 old=$dir/corpus/$1.old new=$dir/corpus/$1.new
  echo
  echo "### $name: $(stat -c %s "$old") -> $(stat -c %s "$new") bytes"
  echo
  echo "| tool                   | patch bytes  | make s    | make MB | apply s   | apply MB | ok   |"
  echo "|------------------------|--------------|-----------|---------|-----------|----------|------|"
  local apply_ours="$bin/Varmend $old patch out QUIET"
  for run in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO" "AUTO DEEP"; do
    row "Vardelta $run" "$bin/Vardelta $old $new patch $run" "$apply_ours" "$old" "$new"
  done
  row "xdelta3 -9" "xdelta3 -9 -f -e -s $old $new patch" "xdelta3 -f -d -s $old patch out" "$old" "$new"
  row "xdelta3 -9 -S none" "xdelta3 -9 -S none -f -e -s $old $new patch" "xdelta3 -f -d -s $old patch out" "$old" "$new"
  row "bsdiff" "bsdiff $old $new patch" "bspatch $old out patch" "$old" "$new"
  row "zstd -19 --long" "zstd -q -f -19 --long=31 --patch-from=$old $new -o patch" \
    "zstd -q -f -d --long=31 --patch-from=$old patch -o out" "$old" "$new"
}

selected=("$@")
wanted() { [ ${#selected[@]} -eq 0 ] || [[ " ${selected[*]} " == *" $1 "* ]]; }

generate_pathological
while IFS='|' read -r name package old_version new_version pattern; do
  [ -n "$name" ] || continue
  wanted "$name" || continue
  fetch "$name" "$package" "$old_version" "$pattern" old
  fetch "$name" "$package" "$new_version" "$pattern" new
  table "$name"
done <<< "$real_pairs"
for name in zeros period4 runs; do
  wanted "$name" && table "$name"
done
echo
echo "Timeout per run: ${timeout_s} s. Machine: $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB."
