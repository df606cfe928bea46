#!/usr/bin/env bash
# Benchmark of Vardelta and Varmend against xdelta3, bsdiff and zstd on real
# and pathological file pairs: patch size, time and peak memory to make and to
# apply each patch, every result checked with cmp.
#
# Usage: bash bench/run.sh [pair ...]      (default: every pair)
#   BENCH_TIMEOUT  seconds one run may take before it counts as a timeout (300)
#   BENCH_REPEAT   runs of each command; the median is shown (3; applying
#                  and cp at least 5)
#   BENCH_DIR      where the corpus and the work files go (build-bench/)
# Times are CPU seconds (user + system, to a tenth of a millisecond): on a shared
# machine they vary far less than wall-clock times do. The summary at the
# end gives the ratios that matter: MODE 3 against xdelta3 -9, AUTO and AUTO
# DEEP against MODE 3, an append to a large patch file against a new one,
# Varmend against cp.
# The real pairs are files from pinned versions of Debian packages, fetched
# with `apt-get download NAME=VERSION`; the pathological pairs are generated.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
timeout_s=${BENCH_TIMEOUT:-300}
repeat=${BENCH_REPEAT:-3}
# Applying takes tens of milliseconds, in which one slow system call shows:
# those runs, and cp's, are repeated at least five times.
apply_repeat=$((repeat > 5 ? repeat : 5))
dir=${BENCH_DIR:-$root/build-bench}

bash scripts/install-deps.sh
tools=(xdelta3 bsdiff zstd)
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
c++ -O2 -Wall -Wextra -o "$dir/cpu_time" bench/cpu_time.cpp

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
mariadbd|mariadb-server-core|1:10.11.18-0+deb12u1|1:10.11.19-0+deb12u1|mariadbd
libjvm|openjdk-17-jre-headless|17.0.19+10-1~deb12u2|17.0.21.1+2-1~deb12u1|libjvm.so
libnode|libnode108|18.20.4+dfsg-1~deb12u2|18.20.4+dfsg-1~deb12u3|libnode.so.108
libwebkit2gtk|libwebkit2gtk-4.1-0|2.50.6-1~deb12u1|2.50.6-1~deb12u2|libwebkit2gtk-4.1.so.0.*
"
# The append case codes this pair into a patch file that already holds the
# records of every other real pair selected.
append_pair=mariadbd

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

# Runs one command `repeat` times under the timeout; prints "cpu-seconds
# peak-MB" of the run with the median CPU time, or "timeout -". `prepare`
# runs before each try, untimed; a row makes each patch anew unless
# `make_prepare` says otherwise.
prepare=true
measure() {
  local log=$dir/time.log runs=() i
  for ((i = 0; i < repeat; i++)); do
    eval "$prepare"
    timeout "$timeout_s" "$dir/cpu_time" "$log" "$@" > /dev/null 2>&1 || { echo "timeout -"; return; }
    runs+=("$(awk '{ printf "%.4f %.0f", $1, $2 / 1024 }' "$log")")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n "$(((repeat + 1) / 2))p"
}

declare -A cpu=()  # "pair|label" -> CPU seconds to make; "pair|label|apply" to apply

row() {
  local label=$1 make_cmd=$2 apply_cmd=$3 old=$4 new=$5
  local work=$dir/work
  rm -rf "$work" && mkdir -p "$work"
  local made applied size ok
  made=$(cd "$work" && prepare=${make_prepare:-"rm -f patch"} && eval "measure $make_cmd")
  if [ "${made%% *}" = timeout ]; then
    printf "| %-26s | %12s | %10s | %7s | %11s | %8s | %-4s |\n" "$label" - timeout - - - -
    return
  fi
  size=$(stat -c %s "$work/patch")
  applied=$(cd "$work" && repeat=$apply_repeat && eval "measure $apply_cmd")
  ok=no
  cmp -s "$work/out" "$new" && ok=yes
  cpu["$pair|$label"]=${made% *}
  cpu["$pair|$label|apply"]=${applied% *}
  printf "| %-26s | %12s | %10s | %7s | %11s | %8s | %-4s |\n" "$label" "$size" "${made% *}" "${made#* }" \
    "${applied% *}" "${applied#* }" "$ok"
}

header() {
  echo
  echo "| tool                       | patch bytes  | make cpu s | make MB | apply cpu s | apply MB | ok   |"
  echo "|----------------------------|--------------|------------|---------|-------------|----------|------|"
}

table() {
  local name=$1 old=$dir/corpus/$1.old new=$dir/corpus/$1.new
  pair=$name
  echo
  echo "### $name: $(stat -c %s "$old") -> $(stat -c %s "$new") bytes"
  header
  local apply_ours="$bin/Varmend $old patch out QUIET"
  for run in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO" "AUTO DEEP" "MODE 3 OPTIMAL" "AUTO OPTIMAL"; do
    row "Vardelta $run" "$bin/Vardelta $old $new patch $run" "$apply_ours" "$old" "$new"
  done
  row "xdelta3 -9" "xdelta3 -9 -f -e -s $old $new patch" "xdelta3 -f -d -s $old patch out" "$old" "$new"
  row "xdelta3 -9 -S none" "xdelta3 -9 -S none -f -e -s $old $new patch" "xdelta3 -f -d -s $old patch out" "$old" "$new"
  row "bsdiff" "bsdiff $old $new patch" "bspatch $old out patch" "$old" "$new"
  row "zstd -19 --long" "zstd -q -f -19 --long=31 --patch-from=$old $new -o patch" \
    "zstd -q -f -d --long=31 --patch-from=$old patch -o out" "$old" "$new"
  cpu["$pair|cp|apply"]=$(repeat=$apply_repeat && measure cp "$new" "$dir/work/out")
  cpu["$pair|cp|apply"]=${cpu["$pair|cp|apply"]% *}
}

# The append pair coded into a copy of a patch file that holds the records
# of the other pairs, beside the same record coded into a new patch file.
append_table() {
  local name=$1 old=$dir/corpus/$1.old new=$dir/corpus/$1.new base=$dir/append-base.patch
  pair="$name append"
  rm -f "$base"
  local other
  for other in "${others[@]}"; do
    "$bin/Vardelta" "$dir/corpus/$other.old" "$dir/corpus/$other.new" "$base" MODE 3 > /dev/null
  done
  echo
  echo "### append: $name into a patch file of $(stat -c %s "$base") bytes (records of: ${others[*]})"
  header
  row "MODE 3, new patch file" "$bin/Vardelta $old $new patch MODE 3" "$bin/Varmend $old patch out QUIET" \
    "$old" "$new"
  make_prepare="rm -f patch && cp $base patch" \
    row "MODE 3, appended" "$bin/Vardelta $old $new patch MODE 3" "$bin/Varmend $old patch out QUIET" "$old" "$new"
}

ratio() {
  local top=${cpu[$1]:-} bottom=${cpu[$2]:-}
  if [ -z "$top" ] || [ -z "$bottom" ]; then echo "-"; return; fi
  awk -v t="$top" -v b="$bottom" 'BEGIN { if (b < 0.0001) b = 0.0001; printf "%.2fx", t / b }'
}

summary() {
  echo
  echo "### Ratios of CPU time"
  echo
  echo "| pair          | MODE 3 / xdelta3 -9 | AUTO / MODE 3 | AUTO DEEP / MODE 3 | Varmend / cp |"
  echo "|---------------|---------------------|---------------|--------------------|--------------|"
  local name
  for name in "${tabled[@]}"; do
    printf "| %-13s | %19s | %13s | %18s | %12s |\n" "$name" \
      "$(ratio "$name|Vardelta MODE 3" "$name|xdelta3 -9")" "$(ratio "$name|Vardelta AUTO" "$name|Vardelta MODE 3")" \
      "$(ratio "$name|Vardelta AUTO DEEP" "$name|Vardelta MODE 3")" \
      "$(ratio "$name|Vardelta MODE 3|apply" "$name|cp|apply")"
  done
  if [ -n "${cpu["$append_pair append|MODE 3, appended"]:-}" ]; then
    echo
    echo "Append to the large patch file / new patch file: $(ratio "$append_pair append|MODE 3, appended" \
      "$append_pair append|MODE 3, new patch file")"
  fi
}

selected=("$@")
wanted() { [ ${#selected[@]} -eq 0 ] || [[ " ${selected[*]} " == *" $1 "* ]]; }

generate_pathological
tabled=()
others=()
while IFS='|' read -r name package old_version new_version pattern; do
  [ -n "$name" ] || continue
  wanted "$name" || wanted append || continue
  fetch "$name" "$package" "$old_version" "$pattern" old
  fetch "$name" "$package" "$new_version" "$pattern" new
  [ "$name" = "$append_pair" ] || others+=("$name")
  wanted "$name" || continue
  table "$name"
  tabled+=("$name")
done <<< "$real_pairs"
for name in zeros period4 runs; do
  wanted "$name" || continue
  table "$name"
  tabled+=("$name")
done
wanted append && append_table "$append_pair"
summary
echo
echo "Timeout per run: ${timeout_s} s; median of ${repeat} runs (applying and cp: ${apply_repeat}). Machine: $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB."
