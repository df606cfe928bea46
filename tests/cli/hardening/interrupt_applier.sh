# Breaks (SIGINT, SIGTERM, SIGHUP) that reach the applier while it decodes
# (into a newfile, into the fresh temporary file of DIRECT, into a named
# intermediate file) and while DIRECT rewrites a
# hard-linked oldfile in place, where the break waits until the oldfile is
# complete again and is then too late to stop the run.
python3 - <<'PY'
import os, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD, NEW = patched_pair(7, 8 << 20, 20000)

def fresh(*names):
    def prepare():
        for n in names + ("link",):
            if os.path.lexists(n):
                os.remove(n)
        write("old", OLD)
    return prepare

def decoding_into(name):
    def reached(pid):
        f = open_files(pid).get(os.path.abspath(name))
        return f is not None and f[1] and 65536 < size_of(name) < len(NEW) - 65536
    return reached

def decoding_into_temporary(pid):
    t = temp_files()
    return len(t) == 1 and 65536 < size_of(t[0]) < len(NEW) - 65536

def report(label, code):
    text = lines_of()
    print("%s: exit %d" % (label, code))
    if code == 20:
        expect("***Break" in text, label + ": no ***Break line")
        print("  after the break: %s" % [l for l in text[text.index("***Break") + 1:] if l])
    else:
        expect("***Break" not in text, label + ": a ***Break line in a run that succeeded")
        print("  last line: %s" % [l for l in text if l][-1])
    state = "old" if read("old") == OLD else "new" if read("old") == NEW else "PARTIAL"
    print("  oldfile: %s, links %d" % (state, os.stat("old").st_nlink))
    print("  files beside it: %s" % strays(os.path.abspath("old")))
    print("  temporary files: %s" % temp_files())
    print("  left: %s" % sorted(n for n in os.listdir(".") if n not in ("A", "B", "patch", "old", "out.txt")))

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "new"], decoding_into("new"), sig, prepare=fresh("new"))
    report("decoding into a newfile, " + name, code)

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "DIRECT"], decoding_into_temporary, sig, prepare=fresh())
    report("decoding, DIRECT, " + name, code)

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "inter", "DIRECT"], decoding_into("inter"), sig,
                        prepare=fresh("inter"))
    report("decoding, DIRECT through inter, " + name, code)


# A hard-linked oldfile cannot be replaced by renaming; it is rewritten in
# place, and a break then waits until the new version is complete, when the
# job is done: the run finishes as a successful one, with exit 0.
def linked():
    fresh()()
    os.link("old", "link")

def rewriting(pid):
    f = open_files(pid).get(os.path.abspath("old"))
    return f is not None and f[1] and 65536 < size_of("old") < len(NEW) - 65536

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "DIRECT"], rewriting, sig, prepare=linked)
    report("rewriting a hard-linked oldfile in place, " + name, code)
PY
