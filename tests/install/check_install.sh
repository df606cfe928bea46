#!/usr/bin/env bash
# Installs the build into a scratch root with DESTDIR and checks what a user
# gets there: the files and links, manual pages that lint clean, the answers of
# the bash completion, and a make-and-apply round trip with the installed
# programs. Then builds the Debian package and checks the same in its unpacked
# files, with its name and control fields.
#   check_install.sh <build dir> <source dir>
# CMAKE and CPACK name the tools (default: the ones on PATH).
set -u
build=$1
source=$2
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/install-check.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tmp"
export TMPDIR=$scratch/tmp

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Every path of a tree, with the target of each symbolic link.
list_tree() {
  (cd "$1" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r path; do
    if [ -L "$path" ]; then echo "$path -> $(readlink "$path")"; else echo "$path"; fi
  done)
}

check_tree() {
  local root=$1 what=$2
  if ! list_tree "$root" | diff -u "$here/installed_files.txt" - >"$scratch/tree.diff"; then
    fail "$what: the installed files differ from installed_files.txt"
    cat "$scratch/tree.diff"
  fi
}

# A page must render without a single warning, at the width of a terminal too.
lint_pages() {
  local man=$1 what=$2 page out
  for page in "$man/man1/Vardelta.1" "$man/man1/Varmend.1" "$man/man5/vlm3.5"; do
    out=$(groff -t -man -Tutf8 -ww -rLL=78n -z "$page" 2>&1) && [ -z "$out" ] ||
      fail "$what: groff on ${page##*/}: ${out:-missing}"
    out=$(mandoc -T lint "$page" 2>&1) && [ -z "$out" ] ||
      fail "$what: mandoc on ${page##*/}: ${out:-missing}"
  done
}

# The version in a program's banner: "Vardelta 3.0 (6.9.2002)" gives 3.0.
version_of() { "$1" ? | head -n 1 | cut -d ' ' -f 2; }

# The installed programs, called by their lower-case links, make a patch and
# apply it in place.
round_trip() {
  local bin=$1 what=$2 work=$scratch/trip-$2
  mkdir "$work"
  cp "$source/samples/greeting-1.0.txt" "$work/old"
  "$bin/vardelta" "$work/old" "$source/samples/greeting-1.1.txt" "$work/update.vlm" >"$work/make.log" ||
    fail "$what: vardelta exited with $?: $(cat "$work/make.log")"
  "$bin/varmend" "$work/old" "$work/update.vlm" DIRECT QUIET >"$work/apply.log" ||
    fail "$what: varmend exited with $?: $(cat "$work/apply.log")"
  cmp -s "$work/old" "$source/samples/greeting-1.1.txt" || fail "$what: the patched file is not the new version"
  [ "$(version_of "$bin/Varmend")" = "$(version_of "$bin/Vardelta")" ] ||
    fail "$what: the two programs carry different versions"
}

# The answers of the installed completion for a command line whose last word
# is being typed, sorted, in a folder holding alpha.bin and auto.txt.
completion_answers() {
  local script=$1
  shift
  (cd "$scratch/completion" && bash -c '
    source "$1"
    shift
    function=$(complete -p "$1" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    "$function"
    printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "' _ "$script" "$@")
}

check_completion() {
  local completions=$1 expected=$2
  shift 2
  local answers
  # Sourced through the name of the command it completes, as bash-completion
  # loads it.
  answers=$(completion_answers "$completions/$1" "$@")
  [ "$answers" = "$expected " ] || fail "completion of '$*': expected '$expected', got '${answers% }'"
}

check_completions() {
  local dir=$1
  mkdir -p "$scratch/completion"
  touch "$scratch/completion/alpha.bin" "$scratch/completion/auto.txt"
  check_completion "$dir" "AUTO DEEP MODE OPTIMAL VARY VERBOSE alpha.bin auto.txt mem128 mem256" Vardelta ""
  check_completion "$dir" "auto auto.txt" vardelta au
  check_completion "$dir" "AUTO" Vardelta AU
  check_completion "$dir" "Mode" Vardelta a b c Mo
  check_completion "$dir" "MEM128 MEM256" Vardelta a b c ME
  check_completion "$dir" "1 2 3 4" vardelta mode ""
  check_completion "$dir" "DEEP OPTIMAL VERBOSE mem128 mem256" Vardelta AUTO a b c ""
  check_completion "$dir" "AUTO DEEP MODE VARY VERBOSE mem128 mem256" Vardelta a b c optimal ""
  check_completion "$dir" "MODE OPTIMAL VERBOSE mem128 mem256" Vardelta a b c VARY 2 ""
  check_completion "$dir" "DIRECT NOVERSION QUIET RECURSIVE alpha.bin auto.txt" Varmend ""
  check_completion "$dir" "backup" varmend a b direct ba
  check_completion "$dir" "DIRECT RECURSIVE alpha.bin auto.txt" Varmend a QUIET ""
  check_completion "$dir" "DIRECT NOVERSION QUIET RECURSIVE" Varmend a b c BACKUP ""
}

check_installed_root() {
  local root=$1 what=$2
  check_tree "$root" "$what"
  lint_pages "$root/usr/share/man" "$what"
  round_trip "$root/usr/bin" "$what"
}

check_package() {
  local version arch deb field
  version=$(version_of "$build/bin/Vardelta")
  arch=$(dpkg --print-architecture)
  deb=$scratch/package/vardelta_${version}_${arch}.deb
  "$cpack" -G DEB -B "$scratch/package" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack exited with $?: $(cat "$scratch/cpack.log")"
  if [ ! -f "$deb" ]; then
    fail "no package ${deb##*/}: $(ls "$scratch/package")"
    return
  fi
  [ "$(dpkg-deb -f "$deb" Package Version Section | tr '\n' ' ')" = "Package: vardelta Version: $version Section: utils " ] ||
    fail "package fields: $(dpkg-deb -f "$deb" Package Version Section)"
  for field in Maintainer Description; do
    [ -n "$(dpkg-deb -f "$deb" $field)" ] || fail "the package has no $field"
  done
  case $(dpkg-deb -f "$deb" Depends) in
    *libdeflate*libdivsufsort*) ;;
    *) fail "Depends lacks the libraries: $(dpkg-deb -f "$deb" Depends)" ;;
  esac
  dpkg-deb -x "$deb" "$scratch/unpacked"
  check_installed_root "$scratch/unpacked" package
}

DESTDIR=$scratch/root "$cmake" --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 ||
  fail "cmake --install exited with $?: $(cat "$scratch/install.log")"
check_installed_root "$scratch/root" install
check_completions "$scratch/root/usr/share/bash-completion/completions"

if command -v "$cpack" >/dev/null && command -v dpkg-deb >/dev/null; then
  check_package
else
  echo "No cpack or dpkg-deb here: the Debian package was not checked."
fi

leftovers=$(ls -A "$TMPDIR")
[ -z "$leftovers" ] || fail "left in the temporary folder: $leftovers"
[ "$failures" -eq 0 ] || exit 1
