#!/usr/bin/env bash
# Runs one end-to-end case: tests/cli/<group>/<name>.sh
#
# The case script runs with bash in a fresh private directory (its working
# directory), with the built programs first on PATH, TMPDIR pointing at a
# private empty directory, and these variables set:
#   CASES  the tests/cli folder (shared input files live in CASES/data)
#   ESC    the escape character, for scripts that build expected text
#   SANITIZED  1 when the programs were built with the sanitizers
# A script that exits with 77 is skipped (it says why on its first line of
# output): for cases that cannot run in this build, such as address-space
# limits under AddressSanitizer.
# Beside the script:
#   <name>.sh.stdout.exact  the exact bytes the script must print (required)
#   <name>.sh.exit          the script's expected exit code (default 0)
# After the run the temporary directory must be empty again.
set -u
case_file=$1
bin_dir=$2
cases_dir=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/cli-case.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/run" "$work/tmp"

expected_exit=0
[ -f "$case_file.exit" ] && expected_exit=$(cat "$case_file.exit")

(
  cd "$work/run" || exit 99
  PATH="$bin_dir:$PATH" TMPDIR="$work/tmp" CASES="$cases_dir" ESC=$'\e' SANITIZED="${SANITIZED:-0}" \
    bash "$case_file"
) >"$work/stdout" 2>"$work/stderr"
actual_exit=$?
if [ "$actual_exit" = 77 ]; then
  echo "skipped: $(head -n 1 "$work/stdout")"
  exit 77
fi

failed=0
if [ "$actual_exit" != "$expected_exit" ]; then
  echo "exit code: expected $expected_exit, got $actual_exit"
  failed=1
fi
if ! cmp -s "$case_file.stdout.exact" "$work/stdout"; then
  echo "stdout differs (expected, then actual; control characters shown with cat -v):"
  diff <(cat -v "$case_file.stdout.exact") <(cat -v "$work/stdout")
  failed=1
fi
if [ -s "$work/stderr" ]; then
  echo "stderr was not empty:"
  cat "$work/stderr"
  failed=1
fi
leftovers=$(ls -A "$work/tmp")
if [ -n "$leftovers" ]; then
  echo "left in the temporary directory: $leftovers"
  failed=1
fi
exit $failed
