# Hand-built MODE 4 block streams: lengths in 6 bits, u16 + 63 and u24 (0
# included), insert and replace data with the continuation of the next match,
# and the four MODE 1 position codes.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *

old = sample_old(300)
d64 = bytes(range(64))
d100 = bytes(range(200, 250)) * 2
stream = (bytes([0x80]) + be(1, 2) + d64             # plain data, u16 E = 1: 64 bytes
          + bytes([0x80]) + be(0, 2) + be(100, 3) + d100  # plain data, u24 length 100
          + bytes([0x03]) + b"abc"                   # insert data, L = 3
          + bytes([0xFF])                            # match 63 at the running 0
          + bytes([0x42]) + b"xy"                    # replace data, L = 2
          + bytes([0xC5])                            # match 5 at 63 + 2
          + bytes([0xC4, 10])                        # match 4 at 70 + 10
          + bytes([0xC4, 253]) + be(16384 - 84 + 20, 2)  # match 4 at 84 - 16384 + D = 20
          + bytes([0xC4, 254]) + be(200, 3)          # match 4, far u24 200
          + bytes([0xC4, 255]) + be(300, 4)          # match 4, far u32 300: the magic
          + bytes([0xC0]) + be(0, 2) + be(0, 3) + bytes([254]) + be(10, 3)  # length 0 at 10
          + bytes([0xC2, 0]))                        # match 2 at the running 10
new = (d64 + d100 + b"abc" + old[0:63] + b"xy" + old[65:70] + old[80:84] + old[20:24]
       + old[200:204] + b"VLM3" + old[10:12])
write("old", old)
write("p", patch_file([record(old, new, 4, stream, 12)]))
write("exp", new)
PY
Varmend old p out NOVERSION; echo "exit $?"; cmp out exp && echo "all forms identical"
