# Breaks (SIGINT, SIGTERM, SIGHUP) that reach the maker while it codes the
# newfile and while it appends the new record: into a patch file it creates
# (deleted afterwards), into an existing one (left byte for byte as it was,
# whether the record goes into a file beside it or, with the patch file
# hard-linked, into the file itself), and while it checksums its inputs.
python3 - <<'PY'
import os, sys
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.environ["CASES"], "hardening"))
from hardkit import *

base = random_bytes(1, 200000)
write("old", base)
write("new", (b"0123456789abcdefghijklmnopqrstuvwxyz" * 240000)[:4 << 20])  # not in the oldfile: a long data stream, coded fast
write("other", random_bytes(3, 150000))
write("other2", edited(read("other"), 4))
expect(timed(["Vardelta", "other", "other2", "patch"])[0] == 0, "first record")
saved = read("patch")
size_new = size_of("new")

def coding(pid):
    t = temp_files()
    return len(t) == 1 and 65536 < size_of(t[0]) < size_new // 2

def report(label, code, created):
    text = lines_of()
    expect("***Break" in text, label + ": no ***Break line")
    print("%s: exit %d" % (label, code))
    print("  " + text[text.index("***Break") + 1])
    if created:
        print("  patch exists: %s" % os.path.exists("fresh"))
    else:
        print("  patch unchanged: %s" % (read("patch") == saved))
        print("  files beside it: %s" % strays(os.path.abspath("patch")))
        print("  links: %d" % os.stat("patch").st_nlink)
    print("  temporary files: %s" % temp_files())

def restore_patch():
    write("patch", saved)

def restore_linked():
    if os.path.exists("link"):
        os.remove("link")
    write("patch", saved)
    os.link("patch", "link")

def no_fresh():
    if os.path.exists("fresh"):
        os.remove("fresh")

for name, sig in SIGNALS:
    code = interrupt_at(["Vardelta", "old", "new", "fresh"], coding, sig, prepare=no_fresh)
    report("coding, new patch file, " + name, code, True)

for name, sig in SIGNALS:
    code = interrupt_at(["Vardelta", "old", "new", "patch"], coding, sig, prepare=restore_patch)
    report("coding, existing patch file, " + name, code, False)

def appending_new(pid):
    return 65536 < size_of("fresh") < size_new - 65536

for name, sig in SIGNALS:
    code = interrupt_at(["Vardelta", "old", "new", "fresh"], appending_new, sig, prepare=no_fresh)
    report("appending, new patch file, " + name, code, True)

def appending_beside(pid):
    s = strays(os.path.abspath("patch"))
    return len(s) == 1 and len(saved) + 65536 < size_of(s[0]) < len(saved) + size_new - 65536

for name, sig in SIGNALS:
    code = interrupt_at(["Vardelta", "old", "new", "patch"], appending_beside, sig, prepare=restore_patch)
    report("appending beside, " + name, code, False)

def appending_in_place(pid):
    return len(saved) + 65536 < size_of("patch") < len(saved) + size_new - 65536

for name, sig in SIGNALS:
    code = interrupt_at(["Vardelta", "old", "new", "patch"], appending_in_place, sig, prepare=restore_linked)
    report("appending in place, " + name, code, False)
os.remove("link")

PY
