"""Writes the fixed input pairs of the golden case into the current folder.

Deterministic: the same files on every machine, so that the patch files made
from them can be pinned by their hashes.
"""
import random

rng = random.Random(20261208)


def noise(count):
    return bytes(rng.getrandbits(8) for _ in range(count))


def mutate(data):
    """Bytes changed, inserted and deleted, and a block moved."""
    out = bytearray(data)
    for _ in range(20):
        out[rng.randrange(len(out))] = rng.getrandbits(8)
    for _ in range(6):
        at = rng.randrange(len(out))
        out[at:at] = noise(rng.randrange(1, 40))
    for _ in range(6):
        at = rng.randrange(len(out) - 50)
        del out[at:at + rng.randrange(1, 50)]
    start = rng.randrange(len(out) // 2)
    block = out[start:start + 700]
    del out[start:start + 700]
    out[len(out) - 300:len(out) - 300] = block
    return bytes(out)


def text():
    words = [b"patch", b"record", b"block", b"match", b"data", b"file", b"version", b"the", b"of", b"and"]
    lines = []
    for _ in range(600):
        lines.append(b" ".join(rng.choice(words) for _ in range(rng.randrange(3, 12))))
    return b"\n".join(lines) + b"\n"


def zero_runs():
    data = bytearray(30000)
    for _ in range(300):
        data[rng.randrange(len(data))] = rng.getrandbits(8)
    return bytes(data)


def periodic():
    return (b"\x12\x34\x56\x78" * 6000)[:23999] + noise(40) + b"\x12\x34\x56\x78" * 500


pairs = {
    "random": noise(20000),
    "text": text(),
    "zeros": zero_runs(),
    "periodic": periodic(),
}
for name, old in pairs.items():
    open(name + ".old", "wb").write(old)
    open(name + ".new", "wb").write(mutate(old))

# A third version that reuses the literal data of the record random.old ->
# random.new, for records appended to a patch file that holds it.
newer = bytearray(open("random.new", "rb").read())
newer[100:100] = noise(30)
open("random.newer", "wb").write(bytes(newer))
