# kill -9 at random moments of a maker run that appends a record to an
# existing patch file, reached through a symbolic link and with permission
# bits 0640. After every kill the patch file must hold either exactly its old
# bytes or a complete, valid file with the new record (checked by applying
# every record with the applier); the link must still be a link and the bits
# still 0640. A file left beside the patch file by a kill is only ever an
# unfinished copy: while one exists the patch file has its old bytes.
python3 - <<'PY'
import os, random, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

KILLS = 30
O2, N2 = two_pairs(11)
os.mkdir("store")
expect(timed(["Vardelta", "o1", "n1", "store/patch"])[0] == 0, "first record")
SAVED = read("store/patch")
os.symlink("store/patch", "plink")
target = os.path.abspath("store/patch")

def reset():
    write("store/patch", SAVED)
    os.chmod("store/patch", 0o640)

def check_after_kill(label):
    expect(os.path.islink("plink"), label + ": the link is no longer a link")
    expect(os.stat(target).st_mode & 0o7777 == 0o640, label + ": permission bits changed")
    data = read("plink")
    left = strays(target)
    if data != SAVED:
        expect(not left, label + ": a file beside a replaced patch file")
        both_records_apply(data, SAVED, (len(O2), crc(O2), crc(N2)))
    for s in left:
        os.remove(s)
    for t in temp_files():
        os.remove(t)
    expect(sorted(os.listdir("store")) == ["patch"], label + ": store holds %s" % os.listdir("store"))
    return "old" if data == SAVED else "new"

args = ["Vardelta", "o2", "n2", "plink"]
reset()
code, duration = timed(args)
expect(code == 0, "a whole run")
check_after_kill("whole run")
expect(read("plink") != SAVED, "the whole run appended nothing")

rng = random.Random(2024)
outcomes = []
for i in range(KILLS):
    reset()
    kill_after(args, rng.uniform(0, duration * 1.1))
    outcomes.append(check_after_kill("kill %d" % i))

# Chosen moments: while the copy beside the patch file is being made or
# waits for its record, and right after the renaming.
def beside_exists(pid):
    return len(strays(target)) == 1
reset()
stop_at(args, beside_exists, lambda p: p.kill(), poll=0.0005)
check_after_kill("beside")
def renamed(pid):
    return read(target) != SAVED
reset()
stop_at(args, renamed, lambda p: p.kill(), poll=0.0005)
check_after_kill("renamed")
note("outcomes: %s" % outcomes)
print("%d kills at random moments and 2 at chosen ones: every patch file old or complete" % KILLS)
PY
