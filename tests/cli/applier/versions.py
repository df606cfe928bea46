"""Writes the files A, B and C of the recursive cases: one program in three
versions, each with its version string; small enough for an identity record."""
import random

r = random.Random(3)
base = bytes(r.getrandbits(8) for _ in range(3000))
with open("A", "wb") as f:
    f.write(b"$VER: prog 1.0 (1.1.2002)\0" + base)
with open("B", "wb") as f:
    f.write(b"$VER: prog 2.0 (2.2.2002)\0" + base[:1000] + b"two" + base[1000:])
with open("C", "wb") as f:
    f.write(b"$VER: prog 3.0 (3.3.2002)\0" + base[:2000] + b"three" + base[2100:])
