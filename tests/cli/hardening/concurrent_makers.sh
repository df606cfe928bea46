# Several makers started at once on one patch file, each with its own pair of
# files: each waits for the others' appends, so that all of them end with
# exit 0 and every record is in the file and applies; on the normal path
# (the patch file replaced by renaming) and in place (a second hard link).
# And an applier that reads the patch file while a maker appends in place
# never sees a half-appended file. The makers use the smaller index, which
# does not change how they update the patch file and costs far less.
python3 - <<'PY'
import os, subprocess, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

MAKERS = 4
PAIRS = [("o%d" % i, "n%d" % i) for i in range(MAKERS + 1)]
for i, (old, new) in enumerate(PAIRS):
    data = random_bytes(100 + i, 128 << 10)
    write(old, data)
    write(new, edited(data, 200 + i, 2000) + random_bytes(300 + i, 256 << 10))


def apply_all(patch, pairs):
    found = records(read(patch))
    expect(len(found) == len(pairs), "%d records expected, found %d" % (len(pairs), len(found)))
    for old, new in pairs:
        code, _ = timed(["Varmend", old, patch, "check.out", "QUIET"], "check.txt")
        expect(code == 0 and read("check.out") == read(new), "the record for %s does not apply" % old)
        os.remove("check.out")


def first_record():
    for name in ("patch", "alias"):
        if os.path.exists(name):
            os.remove(name)
    expect(timed(["Vardelta", "o0", "n0", "patch", "mem128", "mem256"])[0] == 0, "first record")


def makers_at_once(patch):
    procs = [start(["Vardelta", old, new, patch, "mem128", "mem256"], "maker%d.txt" % i) for i, (old, new) in enumerate(PAIRS[1:])]
    codes = [p.wait() for p in procs]
    expect(codes == [0] * MAKERS, "exit codes %s" % codes)
    waited = ["Waiting for %s: another run is using it..." % patch in output("maker%d.txt" % i) for i in range(MAKERS)]
    expect(any(waited), "no maker waited for another")
    apply_all(patch, PAIRS)


for attempt in range(3):
    first_record()
    makers_at_once("patch")
expect(not strays("patch") and not [n for n in os.listdir(".") if "journal" in n], "files left beside")
print("%d makers at once, 3 times: every record in the file and applies" % MAKERS)

first_record()
os.link("patch", "alias")
makers_at_once("alias")
expect(os.path.samefile("patch", "alias"), "the hard link was split")
print("%d makers at once on a patch file with two links: every record in the file and applies" % MAKERS)

# An applier started while a maker is frozen in the middle of its append in
# place (the file longer than before, its header not yet rewritten).
def writing_record(pid):
    data = read("patch")
    return len(data) > len(BEFORE) and data[4:12] == BEFORE[4:12]


for attempt in range(3):
    first_record()
    os.link("patch", "alias")
    BEFORE = read("patch")
    readers = []
    act_at(["Vardelta", "o1", "n1", "alias", "mem128", "mem256"], writing_record,
           lambda p: readers.append(start(["Varmend", "o0", "patch", "check.out", "QUIET"], "check.txt")),
           prepare=lambda: write("patch", BEFORE), poll=0.0003, tries=80)
    expect(readers[0].wait() == 0 and read("check.out") == read("n0"),
           "the applier saw a half-appended file: " + output("check.txt"))
    apply_all("patch", PAIRS[:2])
print("an applier reading while a maker appends in place: always a whole file")
PY
