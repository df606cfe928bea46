# Failures before any record is applied: the patch file's magic, its CRC
# total, the record chain, no matching record, inputs that cannot be opened.
# None of them creates the output or touches an existing one.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *
old = sample_old(100)
write("old", old)
write("abcd", b"ABCD" + bytes(20))
for g in b"0127":
    write("vlm" + chr(g), b"VLM" + bytes([g]) + bytes(20))
write("short3", b"VLM")
write("short4", b"VLM3")
good = patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 1)])
corrupt = bytearray(good)
corrupt[20] ^= 1
write("corrupt", bytes(corrupt))
write("count0", patch_file([]))
write("other", patch_file([record(b"another file", b"x", 1, bytes([0x01]) + b"x", 1)]))
# The first record claims a patchsize that reaches past the end of the file.
write("runaway", patch_file([record(b"another file", b"", 1, b"", 0, patchsize=5000),
                             record(old, old[:3], 1, bytes([0x83, 0]), 1)]))
# A forged file count far beyond what the file can hold.
write("hugecount", patch_file([record(old, old[:3], 1, bytes([0x83, 0]), 1)], count=0xFFFFFFFF))
PY
printf 'keep me' > existing
for p in abcd vlm0 vlm1 vlm2 vlm7 short3 short4 corrupt count0 other runaway; do
  Varmend old $p out; echo "$p exit $?"
done
Varmend old other out RECURSIVE; echo "other RECURSIVE exit $?"
Varmend old hugecount out RECURSIVE; echo "hugecount exit $?"
Varmend old corrupt existing; echo "corrupt over existing exit $?"
[ -e out ] || echo "no output created"
[ "$(cat existing)" = "keep me" ] && echo "existing file untouched"
Varmend missing nothing out; echo "both missing exit $?"
Varmend old nothing out; echo "patch missing exit $?"
mkdir adir
Varmend adir other out; echo "directory as oldfile exit $?"
