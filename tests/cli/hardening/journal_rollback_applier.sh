# The applier finds a patch file torn by a maker that died while appending in
# place (its journal beside it): without write access to the patch file it
# refuses to read it, exit 15; with write access it rolls the append back,
# says so once, and applies. A journal that no longer fits the patch file is
# removed and the file left alone.
unprivileged() {
  if [ "$(id -u)" = 0 ]; then setpriv --inh-caps=-all --bounding-set=-all -- "$@"; else "$@"; fi
}
printf 'the old text of a file' > A
printf 'the new text of a file, longer' > B
Vardelta A B patch > /dev/null
cp patch saved
# What the maker leaves: the journal (magic, old size, old header, CRC-32 of
# those), then a record half-appended and the file count already raised.
tear() {
python3 - <<'PY'
import struct, zlib
data = open("patch", "rb").read()
body = b"VLM3jrnl" + struct.pack(">Q", len(data)) + data[:12]
open("patch.append-journal", "wb").write(body + struct.pack(">I", zlib.crc32(body)))
torn = data[:8] + struct.pack(">I", 2) + data[12:] + bytes(range(40))
open("patch", "wb").write(torn)
PY
}
tear
chmod 0444 patch
unprivileged Varmend A patch out QUIET; echo "exit $?"
[ -e out ] || echo "no output"
ls
chmod 0644 patch
Varmend A patch out QUIET; echo "exit $?"
cmp -s out B && echo "out holds B"
cmp -s patch saved && echo "patch as before"
Varmend A patch out2 QUIET; echo "again: exit $?"
ls
echo "--- a journal that does not fit"
rm out out2
tear
python3 -c 'd = bytearray(open("patch", "rb").read()); d[20] ^= 1; open("patch", "wb").write(d)'
cp patch changed
Varmend A patch out QUIET | sed "s#$PWD/##"; echo "exit ${PIPESTATUS[0]}"
cmp -s patch changed && echo "patch left alone"
ls
