# A console that is gone before the run writes to it (the reader of a pipe
# quit, as `Vardelta ... | head -1` does) loses the run's output, never its
# files: every path ends as with a console, exit 0, nothing left behind.
python3 - <<'PY'
import os, subprocess, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD = random_bytes(3, 300000)
NEW = edited(OLD, 4)
write("A", OLD)
write("B", NEW)

def without_console(args):
    reader, writer = os.pipe()
    os.close(reader)
    try:
        return subprocess.run(args, stdout=writer, stderr=writer, stdin=subprocess.DEVNULL).returncode
    finally:
        os.close(writer)

runs = [
    ("Vardelta, new patch file", ["Vardelta", "A", "B", "patch", "VERBOSE"], lambda: True),
    ("Vardelta, appending", ["Vardelta", "B", "A", "patch"], lambda: True),
    ("Varmend", ["Varmend", "A", "patch", "out"], lambda: read("out") == NEW),
    ("Varmend DIRECT BACKUP", ["Varmend", "A", "patch", "DIRECT", "BACKUP", "A.old"],
     lambda: read("A") == NEW and read("A.old") == OLD),
]
for label, args, done in runs:
    code = without_console(args)
    print("%s: exit %d%s%s" % (label, code, "" if done() else ", result wrong",
                               ", files left" if temp_files() or any(strays(n) for n in ("A", "patch", "out")) else ""))
# Both records of the patch file work.
write("C", NEW)
print("second record applies:", subprocess.run(["Varmend", "C", "patch", "back", "QUIET"]).returncode == 0
      and read("back") == OLD)
PY
