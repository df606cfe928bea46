# Failures while a record is decoded and verified: each prints its message
# on the progress line and removes the partial output. Also: a data block
# after a match into the patch file continues right after the match's bytes.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *
old = sample_old(300)
write("old", old)
write("type0", patch_file([record(old, b"", 0, b"", 0)]))
write("type5", patch_file([record(old, b"", 5, b"", 0)]))
write("badcrc", patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 1, crc_new=0x12345678)]))
# Starts inside the old file, runs past its end.
write("pastold", patch_file([record(old, old[295:] + bytes(5), 1, bytes([0x8A, 254]) + be(295, 3), 1)]))
# A data block longer than what is left of the patch file.
write("pastpatch", patch_file([record(old, b"abc", 1, bytes([0x0A]) + b"abc", 1)]))
# More blocks than the stream holds: the next header is missing.
write("noheader", patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 2)]))
# A match into the patch file that runs past its end.
write("pastend", patch_file([record(old, b"", 1, bytes([0xFF, 255]) + be(300, 4), 1)]))
# Match "VLM3" from the patch file, then data: the data must be "ok".
stream = bytes([0x84, 255]) + be(300, 4) + bytes([0x02]) + b"ok"
write("resume", patch_file([record(old, b"VLM3ok", 1, stream, 2)]))
write("reloc", patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 1, old_reloc=1)]))
write("newreloc", patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 1, new_reloc=2)]))
big = bytes(range(256)) * 400
write("big", patch_file([record(old, big, 1, bytes([0x00]) + be(0, 2) + be(len(big), 3) + big, 1)]))
PY
for p in type0 type5 badcrc pastold pastpatch noheader pastend; do
  Varmend old $p out NOVERSION; echo "$p exit $?"; [ -e out ] || echo "out removed"
done
Varmend old resume out NOVERSION; echo "resume exit $?"; [ "$(cat out)" = VLM3ok ] && echo "VLM3ok"
rm -f out
# Relocation flags on data that is no hunk executable: the transform leaves
# such data alone, so both records rebuild the first three bytes.
Varmend old reloc out NOVERSION; echo "reloc exit $?"; [ "$(cat out)" = "$(head -c 3 old)" ] && echo "same"
Varmend old newreloc out NOVERSION; echo "newreloc exit $?"; [ "$(cat out)" = "$(head -c 3 old)" ] && echo "same"
rm -f out
mkdir outdir
Varmend old resume outdir NOVERSION; echo "directory exit $?"; [ -d outdir ] && echo "outdir still there"
Varmend old resume nodir/out NOVERSION; echo "no such directory exit $?"
# A write that the file size limit refuses (the signal it raises ignored).
( ulimit -f 4; trap '' XFSZ; Varmend old big out NOVERSION; echo "write error exit $?" )
[ -e out ] || echo "out removed"
