# A run waiting for the lock on a patch file that another run holds says so,
# and a break (SIGINT, SIGTERM, SIGHUP) ends the wait with exit 20, leaving
# the patch file as it was; once the lock is free the waiting run goes on.
python3 - <<'PY'
import fcntl, os, sys, time
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

write("A", b"the old text of a file")
write("B", b"the new text of a file, longer")
write("C", b"another old file")
write("D", b"another new file")
expect(timed(["Vardelta", "A", "B", "patch"])[0] == 0, "first record")
SAVED = read("patch")
holder = open("patch", "rb")
fcntl.flock(holder, fcntl.LOCK_EX)


def waiting(pid):
    return "Waiting for patch: another run is using it..." in output()


RUNS = [("maker", ["Vardelta", "C", "D", "patch"]), ("applier", ["Varmend", "A", "patch", "out", "QUIET"])]
for label, args in RUNS:
    for name, sig in SIGNALS:
        code, hit = stop_at(args, waiting, lambda p: os.kill(p.pid, sig))
        expect(hit and code == 20 and "***Break" in output(), "%s, %s: exit %d" % (label, name, code))
        expect(read("patch") == SAVED and not os.path.exists("out"), "%s, %s: files changed" % (label, name))
    print("%s waiting for the lock: SIGINT, SIGTERM and SIGHUP end it with exit 20" % label)

proc = start(RUNS[0][1])
while not waiting(proc.pid):
    time.sleep(0.01)
holder.close()
expect(proc.wait() == 0 and len(records(read("patch"))) == 2, "the waiting maker did not append")
print("once the lock is free, the waiting maker appends")
PY
