# Write protection, which does not stop root: the programs run here without
# the privileges that override file permissions (as root: with every
# capability dropped). A write-protected oldfile is refused by DIRECT, a
# write-protected patch file or newfile by their programs, and directories
# that cannot be written are handled: files the user had stay intact.
. "$CASES/hardening/unprivileged.bash"
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null
cp patch saved
echo "--- DIRECT on a write-protected oldfile"
cp A old && chmod 0444 old
unprivileged Varmend old patch DIRECT NOVERSION | sed -e "s#$TMPDIR#\$TMPDIR#" -e "s#-partial\.[0-9]*_[0-9]*#-partial.<pid>_<n>#"
echo "exit ${PIPESTATUS[0]}"
cmp -s old A && echo "old unchanged" && stat -c %a old
# The verified new version was kept in the temporary directory: the one
# complete copy, left for the user.
for f in "$TMPDIR"/*; do cmp -s "$f" B && echo "a temporary file holds the new version" && rm "$f"; done
cp A old2 && chmod 0444 old2
unprivileged Varmend old2 patch inter DIRECT NOVERSION; echo "exit $?"
cmp -s old2 A && echo "old2 unchanged"; cmp -s inter B && echo "inter holds the new version"
rm -f inter
echo "--- a write-protected patch file"
printf 'xyz' > C2
chmod 0444 patch
unprivileged Vardelta C C2 patch; echo "exit $?"
cmp -s patch saved && echo "patch unchanged"
chmod 0644 patch
echo "--- a write-protected newfile"
printf 'keep me' > out && chmod 0444 out
unprivileged Varmend A patch out NOVERSION; echo "exit $?"
[ "$(cat out)" = "keep me" ] && echo "out unchanged"
echo "--- directories that cannot be written"
mkdir ro && cp patch ro/patch && cp A ro/old && chmod 0555 ro
unprivileged Vardelta A B ro/new; echo "maker, new patch file: exit $?"
unprivileged Vardelta C C2 ro/patch > out.txt; echo "maker, existing patch file (appended in place): exit $?"
tail -n 1 out.txt
unprivileged Varmend C ro/patch c2 QUIET; echo "applier, the new record: exit $?"; cmp -s c2 C2 && echo "c2 holds C2"
unprivileged Varmend A ro/patch b2 QUIET; echo "applier, the old record: exit $?"; cmp -s b2 B && echo "b2 holds B"
unprivileged Varmend ro/old patch DIRECT QUIET; echo "applier, DIRECT (rewritten in place): exit $?"
cmp -s ro/old B && echo "ro/old holds B"
unprivileged Varmend A patch ro/out NOVERSION; echo "applier, newfile: exit $?"
ls ro
# An append in place that fails (the temporary file outgrows a file-size
# limit) must give the existing patch file its old bytes back.
chmod 0755 ro && cp saved ro/patch && chmod 0555 ro
python3 -c 'import random; open("C3", "wb").write(random.Random(5).randbytes(300000))'
( trap '' XFSZ; ulimit -f 100; unprivileged Vardelta C C3 ro/patch; echo "maker, existing patch file in place, write failure: exit $?" ) |
  tr '\r' '\n' | grep -a "exit\|File"
cmp -s ro/patch saved && echo "ro/patch unchanged"
chmod 0755 ro
mkdir rotmp && chmod 0555 rotmp
TMPDIR=$PWD/rotmp unprivileged Vardelta C C2 fresh > out.txt; echo "maker, temporary directory: exit $?"
grep -a "temporary\|deleted" out.txt
TMPDIR=$PWD/rotmp unprivileged Varmend A patch DIRECT; echo "applier, temporary directory: exit $?"
ls
