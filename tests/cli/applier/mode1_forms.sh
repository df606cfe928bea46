# Hand-built MODE 1 block streams: every length form (7-bit, u16 + 127, u24,
# length 0) and every position form (near ahead, u16 with bias -16384, far
# u24, far u32), a match into the patch file, a zero-length match that only
# moves the running position, and the reference-space bound.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *

# The worked example: match ABC, data xyz, match FGH.
old = b"ABCDEFGH"
write("old_a", old)
write("p_a", patch_file([record(old, b"ABCxyzFGH", 1,
                                bytes([0x83, 0x00, 0x03]) + b"xyz" + bytes([0x83, 0x02]), 3)]))
write("exp_a", b"ABCxyzFGH")

old = sample_old(300)
d128 = bytes(range(128))
d256 = bytes(255 - (i % 256) for i in range(256))
stream = (bytes([0x00]) + be(1, 2) + d128             # data, u16 E=1: 128 bytes
          + bytes([0x00]) + be(0, 2) + be(256, 3) + d256  # data, u24 length 256
          + bytes([0x00]) + be(0, 2) + be(0, 3)       # data of length 0
          + bytes([0x80]) + be(1, 2) + bytes([0])     # match 128 at running 0 + 0
          + bytes([0x80]) + be(0, 2) + be(256, 3)     # match 256 ...
          + bytes([253]) + be(10 - 128 + 16384, 2)    # ... at 128 - 16384 + D = 10
          + bytes([0x8A, 20])                         # match 10 at 266 + 20 = 286
          + bytes([0x83, 254]) + be(5, 3)             # match 3, far u24 5
          + bytes([0x84, 255]) + be(300, 4)           # match 4, far u32 300: the magic
          + bytes([0x80]) + be(0, 2) + be(0, 3) + bytes([254]) + be(0, 3)  # length 0 at 0
          + bytes([0x82, 0]))                         # match 2 at the new running 0
new = d128 + d256 + old[0:128] + old[10:266] + old[286:296] + old[5:8] + b"VLM3" + old[0:2]
write("old_b", old)
write("p_b", patch_file([record(old, new, 1, stream, 10)]))
write("exp_b", new)

# One record at offset 12: the bound is 300 + 12, so 311 (the last byte of
# the file count, 1) is the highest position a match may name.
stream = bytes([0x81, 255]) + be(311, 4)
write("p_c", patch_file([record(old, b"\x01", 1, stream, 1)]))
write("exp_c", b"\x01")
stream = bytes([0x81, 255]) + be(312, 4)
write("p_d", patch_file([record(old, b"\x01", 1, stream, 1)]))
# A near position that reaches below 0.
stream = bytes([0x81, 253]) + be(0, 2)
write("p_e", patch_file([record(old, old[:1], 1, stream, 1)]))
PY
Varmend old_a p_a out_a NOVERSION; echo "exit $?"; cmp out_a exp_a && echo "worked example identical"
Varmend old_b p_b out_b NOVERSION; echo "exit $?"; cmp out_b exp_b && echo "all forms identical"
Varmend old_b p_c out_c NOVERSION; echo "exit $?"; cmp out_c exp_c && echo "bound - 1 identical"
Varmend old_b p_d out_d NOVERSION; echo "exit $?"; [ -e out_d ] || echo "out_d removed"
Varmend old_b p_e out_e NOVERSION; echo "exit $?"; [ -e out_e ] || echo "out_e removed"
