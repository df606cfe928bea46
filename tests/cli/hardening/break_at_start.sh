# A break that comes the moment a run starts ends it as a break (exit 20,
# nothing of the run left behind), never as the signal's own death. A signal
# that arrives while the program is still being loaded comes before any of
# its code can catch it; so that every try means the same, the signals are
# blocked while the run is started, and the child sends the signal to itself
# before it loads the program: the break waits, and the handlers, installed
# before anything else, get it. (Sent by this script once the run had
# started, it could come after the run's last check on a busy machine.)
python3 - <<'PY'
import os, signal, subprocess, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD = random_bytes(1, 200000)
write("A", OLD)
write("B", edited(OLD, 2))
expect(timed(["Vardelta", "A", "B", "patch"])[0] == 0, "patch made")

def started_with_break(args, sig, ignored=False):
    def before_loading():
        if ignored:
            signal.signal(sig, signal.SIG_IGN)
        os.kill(os.getpid(), sig)
    blocked = signal.pthread_sigmask(signal.SIG_BLOCK, {sig})
    try:
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, preexec_fn=before_loading)
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, blocked)
    output = proc.communicate()[0].decode()
    return proc.returncode, "***Break" in output

runs = [
    ("Vardelta, new patch file", ["Vardelta", "A", "B", "p2"], lambda: not os.path.exists("p2")),
    ("Varmend", ["Varmend", "A", "patch", "out"], lambda: not os.path.exists("out")),
    ("Varmend DIRECT", ["Varmend", "A", "patch", "DIRECT"], lambda: read("A") == OLD),
]
for label, args, untouched in runs:
    for name, sig in SIGNALS:
        for leftover in ("p2", "out"):
            if os.path.exists(leftover):
                os.remove(leftover)
        write("A", OLD)
        code, said = started_with_break(args, sig)
        print("%s, %s: exit %d%s%s%s" % (label, name, code, ", ***Break" if said else "",
                                         "" if untouched() else ", files changed",
                                         ", temporary files left" if temp_files() else ""))

# A run started with a signal ignored (nohup, a background job of a script)
# keeps ignoring it, and finishes its job.
for name, sig in SIGNALS:
    os.path.exists("out") and os.remove("out")
    code, said = started_with_break(["Varmend", "A", "patch", "out"], sig, ignored=True)
    print("Varmend started with %s ignored: exit %d%s" % (name, code, ", ***Break" if said else ""))
PY
