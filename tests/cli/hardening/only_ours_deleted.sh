# A failing run removes its partial output only when that is a regular file
# it opened for writing: never a FIFO, a symbolic link (nor the file behind
# it) or a directory that the output name happens to denote.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null
# bad: a record for A whose CRCnew is wrong: decoding writes all of B, and
# the check afterwards fails. badtype: a record whose type is 5, refused once
# the output is open.
python3 - <<'PY'
import zlib
def variant(name, offset, value):
    data = bytearray(open("patch", "rb").read())
    data[offset:offset + 4] = value
    data[4:8] = (zlib.crc32(bytes(data[8:])) & 0xffffffff).to_bytes(4, "big")
    open(name, "wb").write(bytes(data))
variant("bad", 12 + 12, b"\xde\xad\xbe\xef")
variant("badtype", 12 + 16, b"\x00\x00\x00\x05")
PY
echo "--- a regular file: removed"
Varmend A bad out NOVERSION; echo "exit $?"; [ -e out ] || echo "out is gone"
echo "--- a FIFO with a reader: refused before anything is written into it, and stays"
mkfifo fifo
# Every end is bounded in time, so that a fault cannot hang the suite.
timeout -s KILL 30 cat fifo > sink &
reader=$!
timeout -s KILL 30 Varmend A badtype fifo NOVERSION; echo "exit $?"
timeout -s KILL 30 bash -c ': > fifo'
wait $reader
[ -p fifo ] && echo "fifo is still a FIFO"
[ -s sink ] || echo "nothing came out of it"
echo "--- a symbolic link: the link and the file behind it stay"
printf 'precious' > target
ln -s target link
Varmend A bad link NOVERSION; echo "exit $?"
[ -L link ] && [ "$(readlink link)" = target ] && echo "link is still a link to target"
[ -f target ] && echo "target still exists"
echo "--- an empty directory: stays"
mkdir dir
Varmend A patch dir NOVERSION; echo "exit $?"
[ -d dir ] && echo "dir is still a directory"
echo "--- the maker, a FIFO as patch file: refused at once, and stays"
mkfifo pfifo
Vardelta A B pfifo; echo "exit $?"
[ -p pfifo ] && echo "pfifo is still a FIFO"
echo "--- the maker, a link to an empty file as patch file, interrupted: the link stays"
: > empty
ln -s empty elink
python3 - <<'PY'
import os, signal, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *
write("big", (b"0123456789abcdefghijklmnopqrstuvwxyz" * 120000)[:4 << 20])
def coding(pid):
    t = temp_files()
    return len(t) == 1 and size_of(t[0]) > 65536
print("exit %d" % interrupt_at(["Vardelta", "A", "big", "elink"], coding, signal.SIGINT))
text = lines_of()
print([l for l in text[text.index("***Break"):] if l])
PY
[ -L elink ] && [ "$(readlink elink)" = empty ] && echo "elink is still a link to empty"
[ -f empty ] && echo "empty still exists"
ls
