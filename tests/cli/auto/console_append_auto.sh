# AUTO VERBOSE appending to an existing patch file: the checksum status lines
# and the check of the existing file come first, then the empty line, the
# sorting notes of the oldfile and the patch file, and (combination 3 without
# DEEP) the oldfile's index once more - the patch file's index is not rebuilt.
# Candidates as for ABCDEFGHIJ -> ABCDEFGHIJXY: 25, 26, 25, 25; MODE 1 wins.
# Nothing in the patch file matches (no 3-byte key of the newfile is in it).
# After the optimizer the checksums are known already, so an empty line
# stands where a new patch file shows " CRC old...".
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
printf 'abcdefghij' > old2
printf 'abcdefghijkl' > new2
Vardelta old2 new2 patch AUTO VERBOSE
echo "exit $?"
python3 - <<'PY'
import zlib
def be(v): return v.to_bytes(4, 'big')
def crc(b): return zlib.crc32(b) & 0xFFFFFFFF
def record(old, new, type_word, blocks, stream):
    return be(20 + len(stream)) + be(len(old)) + be(crc(old)) + be(crc(new)) + be(type_word) + be(blocks) + stream
body = (be(2) + record(b'0123456789', b'0123456789XY', 1, 2, bytes.fromhex('8a 00 02 58 59'))
        + record(b'abcdefghij', b'abcdefghijkl', 1, 2, bytes.fromhex('8a 00 02 6b 6c')))
expected = b'VLM3' + be(crc(body)) + body
print('patch as expected' if open('patch', 'rb').read() == expected else 'patch differs')
PY
