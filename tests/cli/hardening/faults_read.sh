# Read failures in both programs: a directory given as a file, and a file
# that shrinks while it is read (the run is frozen half way, the file is
# truncated, the run goes on). A message, a non-zero exit, and every file the
# user had intact.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null
cp patch saved
mkdir dir
echo "--- directories"
Vardelta dir B p1; echo "maker, oldfile a directory: exit $?"
Vardelta A dir p1; echo "maker, newfile a directory: exit $?"
Vardelta A C dir; echo "maker, patchfile a directory: exit $?"
Varmend dir patch out; echo "applier, oldfile a directory: exit $?"
Varmend A dir out; echo "applier, patchfile a directory: exit $?"
Varmend A patch dir NOVERSION; echo "applier, newfile a directory: exit $?"
cp A a2
Varmend a2 patch DIRECT BACKUP dir NOVERSION; echo "applier, backupfile a directory: exit $?"
cmp -s a2 A && echo "a2 unchanged"
[ -d dir ] && [ -z "$(ls dir)" ] && echo "dir still an empty directory"
ls
echo "--- shrinking files"
python3 - <<'PY'
import os, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD = random_bytes(41, 8 << 20)
NEW = edited(OLD, 42, 20000)
write("big", OLD)
write("bignew", NEW)
expect(timed(["Vardelta", "big", "bignew", "bigpatch"])[0] == 0, "patch made")
SAVED_PATCH = read("bigpatch")

def truncate(name, size):
    def action(proc):
        os.truncate(name, size)
    return action

def fresh(name, data):
    """Puts an input back and removes the output of an earlier try: the
    output is written over, not truncated first, so its size shows how far
    decoding is only when it starts out missing."""
    def prepare():
        write(name, data)
        if os.path.exists("out"):
            os.remove("out")
    return prepare

def show(label, code):
    print("%s: exit %d" % (label, code))
    print("  " + repr([l for l in lines_of() if l][-2:]))

# Decoding takes a few milliseconds in an optimized build, and a busy
# machine may let several runs end between two looks: tries are cheap.
DECODING_TRIES = 200

# The applier decodes from an oldfile that shrinks to half.
def decoding(pid):
    return 65536 < size_of("out") < len(NEW) // 4
code = act_at(["Varmend", "old", "bigpatch", "out", "NOVERSION"], decoding, truncate("old", len(OLD) // 2),
              prepare=fresh("old", OLD), tries=DECODING_TRIES, poll=0.001)
show("applier, oldfile shrinks while decoding", code)
print("  out left: %s" % os.path.exists("out"))

# The applier copies literal data out of a patch file that shrinks.
write("small", OLD[:100000])
write("literal", random_bytes(43, 4 << 20))
expect(timed(["Vardelta", "small", "literal", "p2"])[0] == 0, "literal patch made")
def copying_data(pid):
    return 65536 < size_of("out") < (4 << 20) - (1 << 19)
saved_p2 = read("p2")
code = act_at(["Varmend", "small", "p2", "out", "NOVERSION"], copying_data, truncate("p2", 30),
              prepare=fresh("p2", saved_p2), tries=DECODING_TRIES, poll=0.001)
show("applier, patch file shrinks while decoding", code)
print("  out left: %s" % os.path.exists("out"))

# The maker checksums the oldfile of an existing patch file's run while the
# oldfile shrinks.
saved = read("patch")
def checksumming(pid):
    at = open_files(pid).get(os.path.abspath("o3"))
    return at is not None and 0 < at[0] < len(OLD) - (1 << 20)
code = act_at(["Vardelta", "o3", "bignew", "patch"], checksumming, truncate("o3", 1000),
              prepare=lambda: (write("o3", OLD), write("patch", saved)))
show("maker, oldfile shrinks while it is checksummed", code)
print("  patch unchanged: %s" % (read("patch") == saved))
print("  files beside it: %s" % strays(os.path.abspath("patch")))
print("  temporary files: %s" % temp_files())
PY
