#!/usr/bin/env python3
"""Regenerates the seed corpora in fuzz/corpus/ with a built Vardelta.

Usage: python3 fuzz/make_corpus.py <path to Vardelta>

Seeds are small: text files of a few hundred bytes and the smallest hunk
executables of the shared test data (their licenses: fuzz/corpus/hunk-licenses/).
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
# The shared test data lies beside the project folder.
HUNK = os.path.join(HERE, "..", "..", "shared", "data", "hunk")
HUNK_FILES = {
    "hello": "vscode-amiga-assembly/hello",
    "mkdir2": "unsui/mkdir/mkdir.2-882d765",
    "testnix1": "amitools/libs-gcc/testnix.library.1-96760c5",
    "testnix2": "amitools/libs-gcc/testnix.library.2-43fe8a1",
    "initres_vc1": "amitools/exec_initres/exec_initres_vc.1-96760c5",
    "initres_vc2": "amitools/exec_initres/exec_initres_vc.2-43fe8a1",
}

# Flag bits of the apply harness.
FIX_TOTAL, AIM, FIX_NEW, RECURSIVE, QUIET, NOVERSION, REAL, AIM_FIRST = (1 << i for i in range(8))
# Flag bits of the verify harness.
V_FIX_TOTAL, V_CREATED, V_AIM_FIRST, V_AIM_LAST, V_IDENTICAL, V_REAL, V_FINAL, V_SMALL = (
    1, 2, 4, 8, 16, 32, 64, 128)


def texts():
    rng = random.Random(7)
    words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi".split()
    body = lambda n: " ".join(rng.choice(words) for _ in range(n)).encode()
    a = b"\x00\x00$VER: sample 1.0 (1.1.2002)\x00" + body(90)
    b = bytearray(a)
    b[40:60] = b"INSERTED-TEXT-HERE--XYZ"
    b = bytes(b).replace(b"1.0 (1.1", b"1.1 (2.1") + body(10)
    c = b.replace(b"1.1 (2.1", b"1.2 (3.1")[:-30] + b"tail end"
    return a, b, c


def hunk(name):
    with open(os.path.join(HUNK, HUNK_FILES[name]), "rb") as f:
        return f.read()


def short_reloc_image():
    """A hunk executable with a HUNK_RELOC32SHORT hunk and odd word padding."""
    be = lambda *v: b"".join(struct.pack(">I", x) for x in v)
    code = be(0x3E9, 2, 0x4E714E71, 0x4E754E75)
    short = be(0x3FC) + struct.pack(">HHHHHH", 3, 0, 16, 40, 44, 0) + b"\x00\x00"
    return be(0x3F3, 0, 1, 0, 0, 2) + code + short + be(0x3F2)


class Maker:
    def __init__(self, vardelta, work):
        self.vardelta, self.work, self.count = vardelta, work, 0

    def patch(self, pairs):
        """One patch file holding a record per (old, new, keywords)."""
        self.count += 1
        path = os.path.join(self.work, "p%d" % self.count)
        for old, new, words in pairs:
            o, n = os.path.join(self.work, "old"), os.path.join(self.work, "new")
            open(o, "wb").write(old)
            open(n, "wb").write(new)
            run = subprocess.run([self.vardelta, o, n, path] + words, stdout=subprocess.DEVNULL)
            if run.returncode != 0:
                sys.exit("Vardelta failed (%d) on %s" % (run.returncode, words))
        return open(path, "rb").read()


def put(harness, name, data):
    folder = os.path.join(CORPUS, harness)
    os.makedirs(folder, exist_ok=True)
    open(os.path.join(folder, name), "wb").write(data)


def apply_seed(flags, selector, old, patch):
    return bytes([flags, selector]) + struct.pack(">H", len(old)) + old + patch


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for harness in ("apply_patch", "verify_patch", "reloc", "version"):
        folder = os.path.join(CORPUS, harness)
        for name in os.listdir(folder) if os.path.isdir(folder) else []:
            if not name.startswith("regression-"):
                os.remove(os.path.join(folder, name))
    a, b, c = texts()
    with tempfile.TemporaryDirectory() as work:
        m = Maker(os.path.abspath(sys.argv[1]), work)
        patches = {}
        for mode in "1234":
            patches["mode" + mode] = (a, m.patch([(a, b, ["MODE", mode])]))
        patches["vary"] = (a, m.patch([(a, b, ["MODE", "3", "VARY", "2"])]))
        patches["auto"] = (a, m.patch([(a, b, ["AUTO"])]))
        patches["identity"] = (a, m.patch([(a, a, [])]))
        patches["chain"] = (a, m.patch([(a, b, ["MODE", "1"]), (b, c, ["MODE", "4"]), (c, c, ["MODE", "1"])]))
        patches["circular"] = (a, m.patch([(a, b, ["MODE", "2"]), (b, a, ["MODE", "3"])]))
        patches["hunk_reloc32"] = (hunk("testnix1"), m.patch([(hunk("testnix1"), hunk("testnix2"), ["MODE", "3"])]))
        patches["hunk_drel32"] = (hunk("initres_vc1"), m.patch([(hunk("initres_vc1"), hunk("initres_vc2"), ["MODE", "4"])]))
        patches["hunk_mode1"] = (hunk("hello"), m.patch([(hunk("hello"), hunk("mkdir2"), ["MODE", "1"])]))

    for name, (old, patch) in patches.items():
        put("apply_patch", name, apply_seed(FIX_TOTAL | AIM | FIX_NEW, 14, old, patch))
        put("verify_patch", name, bytes([V_FINAL]) + patch)
    put("apply_patch", "chain_recursive", apply_seed(RECURSIVE | REAL, 3, *patches["chain"]))
    put("apply_patch", "circular_recursive", apply_seed(RECURSIVE, 14, *patches["circular"]))
    put("apply_patch", "mode3_small_buffer_real", apply_seed(REAL | NOVERSION, 2, *patches["mode3"]))
    put("apply_patch", "hunk_quiet_real", apply_seed(QUIET | REAL, 5, *patches["hunk_reloc32"]))
    put("verify_patch", "chain_duplicate", bytes([V_FINAL | V_AIM_FIRST | V_REAL]) + patches["chain"][1])
    put("verify_patch", "identity_again", bytes([V_AIM_LAST | V_IDENTICAL | V_SMALL]) + patches["identity"][1])

    for name in ("hello", "mkdir2", "testnix1", "initres_vc1", "initres_vc2"):
        put("reloc", name, hunk(name))
    put("reloc", "short_reloc", short_reloc_image())
    put("reloc", "text", a)

    put("version", "text_big_buffer", bytes([13]) + a)
    put("version", "text_small_buffer_real", bytes([0x80 | 1]) + b)
    put("version", "hunk_small_buffer", bytes([3]) + hunk("hello"))
    put("version", "straddle", bytes([0]) + b"x" * 11 + b"$VER: edge 2.0\n")
    put("version", "no_control_end", bytes([2]) + b"0123456789$VER: end")


if __name__ == "__main__":
    main()
