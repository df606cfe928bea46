# What a DIRECT run finds after a run that rewrote the oldfile in place was
# killed: the oldfile holds a beginning of the new version and the waiting
# copy beside it ("<oldfile>.Varmend-new") all of it. The same command
# finishes the rewrite, removes the waiting copy (and the intermediate file
# that held the same new version), and exits 0. A waiting copy that the
# oldfile does not begin is left alone and named, and the run goes on.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null
half_rewritten() {
  head -c 1500 B > "$1"
  cp B "$1.Varmend-new"
}
half_rewritten old
ln old link
Varmend old patch DIRECT; echo "exit $?"
cmp old B && cmp link B && echo "old and its link hold B"
ls old.* 2>/dev/null
echo "--- through inter, QUIET"
half_rewritten old
cp B inter
Varmend old patch inter DIRECT QUIET; echo "exit $?"
cmp old B && [ ! -e inter ] && echo "old holds B, inter gone"
echo "--- nothing to finish: the oldfile is the old version again"
rm link
cp A old
cp C old.Varmend-new
Varmend old patch DIRECT NOVERSION | sed "s#$PWD/##"; echo "exit ${PIPESTATUS[0]}"
cmp old B && cmp old.Varmend-new C && echo "old holds B, the stale copy is unchanged"
