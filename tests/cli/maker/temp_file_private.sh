# While the encoder runs, its temporary file is
# patch.Vardelta-partial.<process id>_0 in $TMPDIR (named after the patch
# file it is for): a regular file with mode 0600 whatever the umask, and gone
# after the run. The block listing (2 MB) fills the pipe, so the program
# waits in the middle of the run while the file is looked at.
printf 'ABCDEFGHIJ' > old
for i in $(seq 20000); do printf 'ABCDEFGHIJ#'; done > new
umask 000
exec 3< <(exec Vardelta old new patch MODE 1 VERBOSE)
pid=$!
for i in $(seq 200); do
  [ -n "$(ls -A "$TMPDIR")" ] && break
  sleep 0.05
done
ls -A "$TMPDIR" | sed "s/\.${pid}_/.<pid>_/"
for f in "$TMPDIR"/*; do [ -f "$f" ] && [ ! -L "$f" ] && stat -c %a "$f"; done
tail -n 1 <&3
exec 3<&-
wait "$pid"
echo "exit $?"
ls -A "$TMPDIR"
