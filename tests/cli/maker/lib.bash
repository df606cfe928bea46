# Helpers shared by the maker's cases; sourced by them, not a case itself.

# The bytes of a file, as hexadecimal pairs, 16 to a line.
hex() { od -An -tx1 -v "$1"; }

# Rewrites the CRC total (offset 4) of a patch file so that it covers the
# bytes from offset 8 to the end again, after a case has edited the file.
fix_crc_total() {
  python3 - "$1" <<'PY'
import sys, zlib
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
data[4:8] = (zlib.crc32(bytes(data[8:])) & 0xffffffff).to_bytes(4, 'big')
open(path, 'wb').write(bytes(data))
PY
}

# Changes the byte at an offset of a file (offset, then the new value in hex).
poke() { printf "\\x$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
