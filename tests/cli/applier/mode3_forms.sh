# Hand-built MODE 3 block streams: the 5-bit and 13-bit lengths (0xDF is 32,
# 0xFF 0xFF is 8224), one- and two-byte near positions, the far escape 0x7F,
# insert and replace data with the continuation they announce (a plain data
# block in between leaves it, a later insert overrides a replace), and the
# far widths u16, u24 and u32 chosen by filesize plus the record's offset.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *

old = sample_old(9000)
d32 = bytes(range(32))
d40 = bytes(range(100, 140))
stream = (bytes([0x9F]) + d32                        # plain data, L = 32
          + bytes([0xA0, 7]) + d40                   # plain data, L = 7 + 33
          + bytes([0xDF, 3])                         # match 32 at 0 + 3
          + bytes([0xFF, 0xFF, 0x7F]) + be(0, 2)     # match 8224, far u16 0
          + bytes([0xC9, 0x80, 5])                   # match 10 at 8224 + 5 + 127
          + bytes([0x04]) + b"12345"                 # insert data, L = 5
          + bytes([0xC9])                            # match 10 at the running 8366
          + bytes([0x44]) + b"abcde"                 # replace data, L = 5
          + bytes([0xC9])                            # match 10 at 8376 + 5
          + bytes([0x01]) + b"ab"                    # insert data, L = 2
          + bytes([0x81]) + b"cd"                    # plain data keeps the insert
          + bytes([0xC1])                            # match 2 at the running 8391
          + bytes([0x42]) + b"xyz"                   # replace data, L = 3
          + bytes([0x00]) + b"q"                     # insert data replaces it
          + bytes([0xC0])                            # match 1 at the running 8393
          + bytes([0xC3, 0x7F]) + be(9000, 2))       # match 4, far 9000: the magic
new = (d32 + d40 + old[3:35] + old[0:8224] + old[8356:8366] + b"12345" + old[8366:8376]
       + b"abcde" + old[8381:8391] + b"ab" + b"cd" + old[8391:8393] + b"xyz" + b"q"
       + old[8393:8394] + b"VLM3")
write("old_a", old)
write("p_a", patch_file([record(old, new, 3, stream, 16)]))
write("exp_a", new)

# Filesize 65530 in the first record codes far
# positions in two bytes.
old = sample_old(65530)
write("old_b", old)
write("p_b", patch_file([record(old, old[65000:65003], 3, bytes([0xC2, 0x7F]) + be(65000, 2), 1)]))
write("exp_b", old[65000:65003])

# 70000 bytes: three bytes.
old = sample_old(70000)
write("old_c", old)
write("p_c", patch_file([record(old, old[69000:69003], 3, bytes([0xC2, 0x7F]) + be(69000, 3), 1)]))
write("exp_c", old[69000:69003])

# A later record counts its offset: 65000 + R passes 65535, so three bytes,
# although 65000 alone would fit two.
# The filler record is 727 bytes, so the second one starts at R = 739.
filler = record(b"filler", bytes(700), 1, bytes([0x00]) + be(700 - 127, 2) + bytes(700), 1)
old = sample_old(65000)
second = record(old, old[64000:64003], 3, bytes([0xC2, 0x7F]) + be(64000, 3), 1)
write("old_d", old)
write("p_d", patch_file([filler, second]))
write("exp_d", old[64000:64003])

# 16 MiB: four bytes.
old = bytes(16777216 - 4) + b"TAIL"
write("old_e", old)
write("p_e", patch_file([record(old, b"TAIL", 3, bytes([0xC3, 0x7F]) + be(16777212, 4), 1)]))
write("exp_e", b"TAIL")
PY
for c in a b c d e; do
  Varmend old_$c p_$c out_$c NOVERSION; echo "exit $?"; cmp out_$c exp_$c && echo "$c identical"
done
