# Hand-built MODE 2 block streams: 6-bit and 14-bit lengths (0 included),
# near positions around the running position, 23-bit far positions (0x80
# 0x00 0x00 is position 0), the seven-byte escape 0xFF 0xFF 0xFF + u32, and a
# near position behind the start of the reference space.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *

old = sample_old(300)
d128 = bytes(range(128))
stream = (bytes([0x03]) + b"xyz"                     # data, L = 3
          + bytes([0x40, 0x80]) + d128               # data, 14-bit L = 128
          + bytes([0x00])                            # data, L = 0
          + bytes([0x85]) + be(16384 + 7, 2)         # match 5, near: 0 - 16384 + W = 7
          + bytes([0xC0, 0xC8, 0x80, 0x00, 50])      # match 200 (14-bit), far 50
          + bytes([0x84, 0xFF, 0xFF, 0xFF]) + be(300, 4)  # match 4, escape, u32 300
          + bytes([0x83, 0x80, 0x00, 0x00])          # match 3, far 0
          + bytes([0x80]) + be(16384 + 97, 2)        # match 0 at 3 + 97 = 100
          + bytes([0x82]) + be(16384, 2))            # match 2 at the running 100
new = b"xyz" + d128 + old[7:12] + old[50:250] + b"VLM3" + old[0:3] + old[100:102]
write("old", old)
write("p_a", patch_file([record(old, new, 2, stream, 9)]))
write("exp_a", new)
# W = 0 at running position 0 names -16384.
write("p_b", patch_file([record(old, old[:1], 2, bytes([0x81, 0x00, 0x00]), 1)]))
PY
Varmend old p_a out_a NOVERSION; echo "exit $?"; cmp out_a exp_a && echo "all forms identical"
Varmend old p_b out_b NOVERSION; echo "exit $?"; [ -e out_b ] || echo "out_b removed"
