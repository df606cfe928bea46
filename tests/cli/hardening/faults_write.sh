# Write failures from a file-size limit (SIGXFSZ ignored) at several sizes,
# in both programs: a failure message, exit 15, the patch file this run
# created deleted, an existing patch file byte for byte as before, the
# oldfile intact after a failed DIRECT, no temporary file left. The output
# goes through a pipe, which the limit does not reach.
python3 - <<'PY'
import sys, os
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *
old = random_bytes(31, 100000)
write("old", old)
write("new", edited(old, 32, 500) + random_bytes(33, 200000))
write("o1", random_bytes(34, 60000))
write("n1", random_bytes(35, 60000))
PY
Vardelta o1 n1 existing > /dev/null
cp existing saved
# Runs a command under a file-size limit of $1 KiB; prints its exit code and
# leaves its output in out.txt.
limited() {
  local kb=$1
  shift
  ( trap '' XFSZ; ulimit -f "$kb"; "$@"; echo "exit $?" ) | cat > out.txt
  tail -n 1 out.txt
  sed -i '$d' out.txt
}
last_lines() { tr '\r' '\n' < "$1" | sed -E 's/^ ?[0-9]{1,3}%//' | grep -v '^$' | tail -n "$2"; }
for kb in 0 1 40 150; do
  echo "--- maker, new patch file, limit ${kb} KiB"
  limited $kb Vardelta old new fresh
  last_lines out.txt 2
  [ -e fresh ] && echo "fresh left behind"
  ls "$TMPDIR"
done
for kb in 40 100 200; do
  echo "--- maker, existing patch file, limit ${kb} KiB"
  limited $kb Vardelta old new existing
  last_lines out.txt 1
  cmp -s existing saved && echo "existing unchanged"
  ls existing.*-partial.* 2>/dev/null
  ls "$TMPDIR"
done
Vardelta old new patch > /dev/null
for kb in 0 100 200; do
  echo "--- applier, newfile, limit ${kb} KiB"
  limited $kb Varmend old patch out NOVERSION
  last_lines out.txt 2
  [ -e out ] && echo "out left behind"
  echo "--- applier, DIRECT, limit ${kb} KiB"
  cp old old2
  limited $kb Varmend old2 patch DIRECT NOVERSION
  last_lines out.txt 1 | sed -e "s#$TMPDIR#\$TMPDIR#" -e "s#-partial\.[0-9]*_[0-9]*#-partial.<pid>_<n>#"
  cmp -s old2 old && echo "old2 unchanged"
  ls old2.*-partial.* 2>/dev/null
  ls "$TMPDIR"
done
