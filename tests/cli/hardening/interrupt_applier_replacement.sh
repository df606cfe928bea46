# Breaks (SIGINT, SIGTERM, SIGHUP) that reach DIRECT after decoding, while the
# verified new version is copied into the file beside the oldfile that is to
# be renamed over it, and with BACKUP while the unchanged oldfile is saved
# under the backupfile name. Like every break, they must leave no temporary
# file of the run behind and no file half written: the oldfile holds one
# whole version, the file beside it is gone, and the backupfile (and a named
# intermediate file) hold a whole version or nothing.
python3 - <<'PY'
import os, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

OLD, NEW = patched_pair(7, 8 << 20, 20000)
beside = os.path.abspath("old")

def fresh(*names):
    def prepare():
        for n in names:
            if os.path.lexists(n):
                os.remove(n)
        for s in strays(beside):
            os.remove(s)
        write("old", OLD)
    return prepare

def whole(name):
    if not os.path.exists(name):
        return "absent"
    data = read(name)
    return "old version" if data == OLD else "new version" if data == NEW else "PARTIAL (%d bytes)" % len(data)

def report(label, code, others):
    text = lines_of()
    expect("***Break" in text, label + ": no ***Break line")
    print("%s: exit %d" % (label, code))
    print("  oldfile: %s" % whole("old"))
    for n in others:
        print("  %s: %s" % (n, "absent or whole" if whole(n) in ("absent", "old version", "new version") else whole(n)))
    print("  files beside the oldfile: %s" % [stable(os.path.basename(s)) for s in strays(beside)])
    print("  temporary files: %s" % temp_files())

def copying_beside(pid):
    s = strays(beside)
    return len(s) == 1 and 65536 < size_of(s[0]) < len(NEW) - 65536

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "DIRECT"], copying_beside, sig, prepare=fresh())
    report("copying beside the oldfile, " + name, code, [])

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "inter", "DIRECT"], copying_beside, sig,
                        prepare=fresh("inter"))
    report("copying beside the oldfile, DIRECT through inter, " + name, code, ["inter"])

# The backupfile is first the output of decoding, which a break before the
# backup is saved removes like any partial output: the backupfile must not be
# left holding the new version while the oldfile holds the old one.
for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "DIRECT", "BACKUP", "bak"], copying_beside, sig,
                        prepare=fresh("bak"))
    report("copying beside the oldfile, DIRECT BACKUP, " + name, code, [])
    print("  bak: %s" % whole("bak"))

# It is saved into once the new version waits complete beside the oldfile.
def saving_backup(pid):
    f = open_files(pid).get(os.path.abspath("bak"))
    s = strays(beside)
    return (f is not None and f[1] and len(s) == 1 and size_of(s[0]) == len(NEW)
            and 65536 < size_of("bak") < len(OLD) - 65536)

for name, sig in SIGNALS:
    code = interrupt_at(["Varmend", "old", "patch", "DIRECT", "BACKUP", "bak"], saving_backup, sig,
                        prepare=fresh("bak"))
    report("saving the backup, " + name, code, ["bak"])
for s in strays(beside):
    os.remove(s)
PY
