# A newfile or oldfile that changes on disk while the maker codes it. The
# record names the files by their CRC-32 on disk, the block stream comes from
# the bytes read at the start: where the two differ, the maker must not
# report success for a patch that can never apply. A new patch file is then
# removed; an existing one whose checksums were taken before the change gets
# a record that rebuilds the newfile exactly as it was read.
python3 - <<'PY'
import os, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD = random_bytes(41, 4 << 20)
NEW = edited(OLD, 42, 3000)

# The block stream's temporary file exists from just before coding starts.
def coding(pid):
    return bool(temp_files())

def change(name):
    def act(proc):
        with open(name, "r+b") as f:
            f.seek(1000)
            byte = f.read(1)
            f.seek(1000)
            f.write(bytes([byte[0] ^ 1]))
    return act

def reset():
    write("old", OLD)
    write("new", NEW)
    if os.path.exists("patch"):
        os.remove("patch")

for name in ("new", "old"):
    code = act_at(["Vardelta", "old", "new", "patch"], coding, change(name), prepare=reset)
    print("%s changed while coding into a new patch file: exit %d" % (name, code))
    print("  " + repr([l for l in lines_of() if "changed" in l or "deleted" in l]))
    print("  patch file left: %s" % os.path.exists("patch"))

# An existing patch file: the checksums are taken before coding starts.
write("o1", b"first old" * 100)
write("n1", b"first new" * 100)
code = timed(["Vardelta", "o1", "n1", "patch"])[0]
expect(code == 0, "first record")
saved = read("patch")
code = act_at(["Vardelta", "old", "new", "patch"], coding, change("new"),
              prepare=lambda: (reset(), write("patch", saved)))
print("new changed while coding into an existing patch file: exit %d" % code)
write("old", OLD)
code = timed(["Varmend", "old", "patch", "out", "QUIET"])[0]
print("  the record applies: %s, and rebuilds the newfile as read: %s" % (code == 0, read("out") == NEW))
PY
