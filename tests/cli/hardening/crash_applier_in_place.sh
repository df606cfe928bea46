# kill -9 at random and at chosen moments of DIRECT runs that cannot rename
# a copy over the oldfile and rewrite it in place: a hard-linked oldfile
# (without a third argument, through a named intermediate file, with BACKUP)
# and an oldfile in a folder the run cannot write. And an oldfile whose name
# leaves no room for the usual name of a copy beside it, which is still
# replaced by renaming. After every kill:
# - the oldfile holds the old or the new version, or, caught half rewritten,
#   a beginning of the new version while a waiting copy holds all of it;
# - a waiting copy is always the whole new version, an unfinished file of the
#   run always a beginning of the new version;
# then the same command is run again, and afterwards the oldfile holds the
# new version with its links, no waiting copy is left, and with BACKUP the
# backupfile holds the old version.
python3 - <<'PY'
import glob, os, random, re, subprocess, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

KILLS = 20
OLD, NEW = patched_pair(31, 4 << 20, 10000)
TMP = os.environ["TMPDIR"]
UNPRIVILEGED = ["setpriv", "--inh-caps=-all", "--bounding-set=-all"] if os.geteuid() == 0 else []
LONG = "o" * 250

def version(name):
    if not os.path.exists(name):
        return "absent"
    data = read(name)
    return "old" if data == OLD else "new" if data == NEW else "partial"

def waiting_copies():
    return sorted(glob.glob("*.Varmend-new") + glob.glob("ro/*.Varmend-new") + glob.glob(TMP + "/*.Varmend-new"))

def unfinished():
    return sorted(glob.glob("*-partial.*") + glob.glob("ro/*-partial.*") + glob.glob(TMP + "/*-partial.*"))

class Scenario:
    def __init__(self, label, old, extra, linked=False, locked=False):
        self.label, self.old, self.linked, self.locked = label, old, linked, locked
        self.args = (UNPRIVILEGED if locked else []) + ["Varmend", old, "patch", "DIRECT", "QUIET"] + extra
        self.backup = "BACKUP" in extra

    def reset(self):
        if os.path.isdir("ro"):
            os.chmod("ro", 0o755)
        for n in [self.old, "bak", "inter", "link", "ro/link"] + waiting_copies() + unfinished():
            if os.path.lexists(n):
                os.remove(n)
        os.makedirs(os.path.dirname(self.old) or ".", exist_ok=True)
        write(self.old, OLD)
        if self.linked:
            os.link(self.old, os.path.join(os.path.dirname(self.old), "link"))
        if self.locked:
            os.chmod("ro", 0o555)

    def links(self):
        return 2 if self.linked else 1

    def check(self, label):
        state = version(self.old)
        waiting = waiting_copies()
        for w in waiting:
            expect(read(w) == NEW, label + ": a waiting copy that is not the whole new version")
        expect(state in ("old", "new") or (state == "partial" and NEW.startswith(read(self.old)) and waiting),
               label + ": oldfile %s, waiting copies %s" % (state, waiting))
        expect(os.stat(self.old).st_nlink == self.links(), label + ": the links of the oldfile changed")
        for u in unfinished():
            expect(NEW.startswith(read(u)), label + ": an unfinished file that is no beginning of the new version")
            os.remove(u)
        code = timed(self.args)[0]
        expect(code == 0 or (code == 11 and state == "new" and not waiting),
               label + ": the run after the kill ended with %d" % code)
        expect(version(self.old) == "new", label + ": after the next run the oldfile is " + version(self.old))
        expect(os.stat(self.old).st_nlink == self.links(), label + ": the next run changed the links")
        expect(not waiting_copies() and not unfinished() and not temp_files(),
               label + ": left behind: %s" % (waiting_copies() + unfinished() + temp_files()))
        expect(not self.backup or version("bak") == "old", label + ": backupfile " + version("bak"))
        return state

scenarios = [
    Scenario("hard link", "old", [], linked=True),
    Scenario("hard link through inter", "old", ["inter"], linked=True),
    Scenario("hard link, BACKUP", "old", ["BACKUP", "bak"], linked=True),
    Scenario("folder not writable", "ro/old", [], locked=True),
    Scenario("name too long for a copy beside it", LONG, []),
]

probe = Scenario("probe", "ro/probe", [], locked=True)
probe.reset()
if UNPRIVILEGED and subprocess.run(UNPRIVILEGED + ["touch", "ro/x"], stderr=subprocess.DEVNULL).returncode == 0:
    scenarios = [s for s in scenarios if not s.locked]
    note("the folder could be written without privileges: that scenario is left out")
os.chmod("ro", 0o755)
os.remove("ro/probe")

def rewriting(scenario):
    target = os.path.abspath(scenario.old)
    def reached(pid):
        f = open_files(pid).get(target)
        return f is not None and f[1] and 0 < size_of(scenario.old) < len(NEW)
    return reached

# The copy that is renamed over the oldfile or, in place, to the waiting
# copy: beside the oldfile, or in the temporary directory under a name with
# the oldfile's device and inode (where the decoded output lies too).
def writing_copy(pid):
    copies = [u for u in unfinished() if not u.startswith(TMP) or re.search(r"\.\d+-\d+\.Varmend-partial\.", u)]
    return any(0 < size_of(c) < len(NEW) for c in copies)

rng = random.Random(11)
for s in scenarios:
    s.reset()
    code, duration = timed(s.args)
    expect(code == 0 and version(s.old) == "new", s.label + ": a whole run")
    outcomes = []
    for i in range(KILLS):
        s.reset()
        kill_after(s.args, rng.uniform(0, duration * 1.1))
        outcomes.append(s.check("%s, kill %d" % (s.label, i)))
    points = [("writing a copy", writing_copy)]
    if s.old != LONG:
        points.append(("rewriting the oldfile", rewriting(s)))
    for point, reached in points:
        seen = False
        # A loaded machine can run past a short moment between two polls.
        for _ in range(24):
            s.reset()
            seen = stop_at(s.args, reached, lambda p: p.kill(), poll=0.0005)[1]
            outcomes.append(s.check("%s, %s" % (s.label, point)))
            if seen:
                break
        expect(seen, "%s: never saw the moment %s" % (s.label, point))
    note("%s: %s" % (s.label, outcomes))
    print("%s: %d kills at random moments and %d at chosen ones, invariants held"
          % (s.label, KILLS, len(points)))
PY
