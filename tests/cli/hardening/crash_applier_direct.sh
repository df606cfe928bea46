# kill -9 at random moments of DIRECT runs of the applier. After every kill:
# - DIRECT: the oldfile holds exactly the old or exactly the new version, and
#   when new, it kept its permission bits (0640) and owner;
# - DIRECT BACKUP: the same, and whenever the oldfile holds the new version
#   the backupfile holds exactly the old one.
# (The oldfiles that are rewritten in place: crash_applier_in_place.sh.)
# A file left beside the oldfile by a kill is an unfinished copy of the new
# version (a prefix of it); the kill leaves it to be removed.
python3 - <<'PY'
import os, random, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

KILLS = 30
OLD, NEW = patched_pair(21, 4 << 20, 10000)
root = os.geteuid() == 0
owner = 65534 if root else os.geteuid()
target = os.path.abspath("old")

def reset():
    for n in ("old", "bak"):
        if os.path.lexists(n):
            os.remove(n)
    write("old", OLD)
    os.chmod("old", 0o640)
    if root:
        os.chown("old", owner, owner)

def version(name):
    if not os.path.exists(name):
        return "absent"
    data = read(name)
    return "old" if data == OLD else "new" if data == NEW else "partial"

def tidy(label):
    for s in strays(target):
        expect(NEW.startswith(read(s)), label + ": a file beside the oldfile is no copy of the new version")
        os.remove(s)
    for t in temp_files():
        os.remove(t)

def check_direct(label):
    state = version("old")
    expect(state in ("old", "new"), label + ": oldfile is " + state)
    if state == "new":
        info = os.stat("old")
        expect(info.st_mode & 0o7777 == 0o640, label + ": permission bits %o" % (info.st_mode & 0o7777))
        expect(info.st_uid == owner, label + ": owner changed")
    tidy(label)
    return state

def check_backup(label):
    state = check_direct(label)
    if state == "new":
        expect(version("bak") == "old", label + ": oldfile new but backupfile " + version("bak"))
    return state

scenarios = [
    ("DIRECT", ["Varmend", "old", "patch", "DIRECT", "QUIET"], check_direct),
    ("DIRECT BACKUP", ["Varmend", "old", "patch", "DIRECT", "BACKUP", "bak", "QUIET"], check_backup),
]
def copying_beside(pid):
    s = strays(target)
    return len(s) == 1 and 0 < size_of(s[0]) < len(NEW)

def saving_backup(pid):
    s = strays(target)
    return len(s) == 1 and size_of(s[0]) == len(NEW) and 0 < size_of("bak") < len(OLD)

def replaced(pid):
    return os.stat("old").st_ino != original_inode[0]

original_inode = [0]
_reset = reset
def reset():
    _reset()
    original_inode[0] = os.stat("old").st_ino

points = {
    "DIRECT": [("copying beside", copying_beside), ("replaced", replaced)],
    "DIRECT BACKUP": [("copying beside", copying_beside), ("saving the backup", saving_backup),
                      ("replaced", replaced)],
}
rng = random.Random(7)
for label, args, check in scenarios:
    reset()
    code, duration = timed(args)
    expect(code == 0 and check(label + ", whole run") == "new", label + ": a whole run")
    outcomes = []
    for i in range(KILLS):
        reset()
        kill_after(args, rng.uniform(0, duration * 1.1))
        outcomes.append(check("%s, kill %d" % (label, i)))
    # Chosen moments, each tried until it was seen: the copy beside the
    # oldfile (or, in place, the oldfile) being written, and the oldfile
    # just replaced while the run goes on.
    for point, reached in points[label]:
        seen = False
        for _ in range(20):
            reset()
            seen = stop_at(args, reached, lambda p: p.kill(), poll=0.0005)[1]
            outcomes.append(check("%s, %s" % (label, point)))
            if seen:
                break
        # The moment just after the rename lasts only as long as the run
        # takes to exit; a fast build may never be caught there.
        expect(seen or point == "replaced", "%s: never saw the moment %s" % (label, point))
    note("%s: %s" % (label, outcomes))
    print("%s: %d kills at random moments and %d at chosen ones, invariants held"
          % (label, KILLS, len(points[label])))
PY
