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

# The patch file most appending cases start from: one MODE 1 record that
# makes the twelve bytes of new1 from the ten of old1.
make_one_record_patch() {
  printf '0123456789' > old1
  printf '0123456789XY' > new1
  Vardelta old1 new1 patch MODE 1 > /dev/null
}

# Runs the command given with a copy of the patch file kept first, then
# prints its exit code and whether the patch file is exactly as it was.
unchanged_after() {
  cp patch patch.before
  "$@"
  echo "exit $?"
  cmp patch patch.before && echo "patch unchanged"
}

# Runs the command given under a file-size limit of 1 KiB, in which writing
# more fails instead of ending the process.
limited_to_1k() { ( trap '' XFSZ; ulimit -f 1; "$@" ); }

# Appends a pair the patch file holds no record for, for the cases where the
# patch file must be refused and left as it was.
append_second_pair() {
  printf 'ABCDEFGHIJKLMNOP' > old
  printf 'ABCDEFGHxyKLMNOP' > new
  unchanged_after Vardelta old new patch
}
