"""kill -9 at random and at chosen moments of a maker run that appends a
record to an existing patch file in place: the patch file has a second hard
link, or lies in a folder the run cannot write. After every kill one more run
of either program on the patch file (the applier applying the first record,
or the maker refusing it as already present) must find every earlier record
usable, and afterwards the patch file holds exactly its old bytes or both
records, each of which applies; no journal or other file is left behind.

Not a case itself: the crash_append_in_place_*.sh cases run it.
Arguments: hard-link | unwritable-folder, and the number of random kills.
"""
import glob, os, random, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

MODE, KILLS = sys.argv[1], int(sys.argv[2])
# The maker runs with the smaller index: what is tried here is the update of
# the patch file, and the default index alone costs seconds a run under the
# sanitizers, where most random kills would then land.
SMALL_INDEX = ["mem128", "mem256"]


def as_user(args):
    """Without the privileges that override file permissions."""
    if MODE == "unwritable-folder" and os.getuid() == 0:
        return ["setpriv", "--inh-caps=-all", "--bounding-set=-all", "--"] + args
    return args


O2, N2 = two_pairs(21)
os.mkdir("store")
PATCH = "store/patch"
expect(timed(["Vardelta", "o1", "n1", PATCH] + SMALL_INDEX)[0] == 0, "first record")
SAVED = read(PATCH)
if MODE == "hard-link":
    os.link(PATCH, "alias")
else:
    os.chmod("store", 0o555)


def reset():
    write(PATCH, SAVED)  # the same inode: links and folder stay as they are


def leftovers():
    """Everything in the store but the patch file, and journals anywhere (a
    killed run's own temporary files are another matter)."""
    return [n for n in os.listdir("store") if n != "patch"] + [t for t in temp_files() if "journal" in t]


def journal_exists():
    return any("journal" in n for n in leftovers())


def next_run(i):
    """The run after the kill; True when it found the first record usable."""
    if i % 2 == 0:
        code, _ = timed(as_user(["Varmend", "o1", PATCH, "check.out", "QUIET"]), "next.txt")
        usable = code == 0 and read("check.out") == read("n1")
        if os.path.exists("check.out"):
            os.remove("check.out")
        return usable
    code, _ = timed(as_user(["Vardelta", "o1", "n1", PATCH] + SMALL_INDEX), "next.txt")
    return code == 5


def check_after_kill(i, label):
    """'old', 'new' or 'lost' (an earlier record unusable)."""
    torn = journal_exists() and read(PATCH) != SAVED
    if not next_run(i):
        return "lost"
    restored = "restored to its state before an interrupted append" in output("next.txt")
    expect(restored or not torn, label + ": a torn patch file was not said to be restored")
    data = read(PATCH)
    expect(not leftovers(), label + ": left behind: %s" % leftovers())
    if MODE == "hard-link":
        expect(os.path.samefile(PATCH, "alias"), label + ": the hard link was split")
    if data == SAVED:
        return "old"
    both_records_apply(data, SAVED)
    return "new"


def clean_up():
    for name in leftovers() + temp_files():
        if os.path.exists(name):
            os.remove(name if os.path.isabs(name) else os.path.join("store", name))


args = as_user(["Vardelta", "o2", "n2", PATCH] + SMALL_INDEX)
reset()
code, duration = timed(args)
expect(code == 0 and check_after_kill(0, "whole run") == "new", "a whole run")
RECORD = len(read(PATCH)) - len(SAVED)

# The first half of a run codes the record and leaves the patch file alone.
rng = random.Random(4711)
outcomes = []
for i in range(KILLS):
    reset()
    kill_after(args, rng.uniform(duration * 0.5, duration * 1.05))
    outcomes.append(check_after_kill(i, "kill %d" % i))
    clean_up()

# Random points while the record is written: once the patch file has grown by
# a random part of the record.
def grown_to(size):
    return lambda pid: size_of(PATCH) >= size


for i in range(KILLS // 2):
    reset()
    stop_at(args, grown_to(len(SAVED) + rng.randrange(1, RECORD + 1)), lambda p: p.kill(), poll=0.0003)
    outcomes.append(check_after_kill(i, "kill while writing %d" % i))
    clean_up()


def writing_record(pid):
    data = read(PATCH)
    return len(data) > len(SAVED) and data[4:12] == SAVED[4:12]


def header_rewritten(pid):
    return read(PATCH)[8:12] != SAVED[8:12]


def complete_with_journal(pid):
    data = read(PATCH)
    return len(data) > len(SAVED) and crc(data[8:]) == int.from_bytes(data[4:8], "big") and journal_exists()


def journal_only(pid):
    return journal_exists() and read(PATCH) == SAVED


chosen = {}
for i, (label, point) in enumerate([("journal written", journal_only), ("record being written", writing_record),
                                    ("header rewritten", header_rewritten),
                                    ("before the journal is removed", complete_with_journal)]):
    hits = []
    for attempt in range(4):
        reset()
        _, hit = stop_at(args, point, lambda p: p.kill(), poll=0.0003)
        if hit:
            hits.append(check_after_kill(i, label))
        clean_up()
    chosen[label] = hits
    outcomes += hits

note("%s: random %s, while writing %s, chosen %s" % (MODE, outcomes[:KILLS], outcomes[KILLS:KILLS + KILLS // 2], chosen))
lost = outcomes.count("lost")
if lost:
    fail("%d of %d kills left the first record unusable" % (lost, len(outcomes)))
print("%s: %d kills at random moments, %d while the record is written and the chosen ones: "
      "every earlier record applies" % (MODE, KILLS, KILLS // 2))

