# Every MODE with every VARY from -3 to 2: the maker's patch applied to the
# oldfile gives the newfile byte for byte.
python3 - <<'PY'
import random
r = random.Random(7)
def noise(n):
    return bytes(r.getrandbits(8) for _ in range(n))
old = noise(120000)
new = (old[:5000] + b"inserted" + old[5000:40000] + old[60000:90000] + noise(3000)
       + old[90000:] + old[10:20000] + b"ab" * 3000)
new = new[:70000] + b"X" + new[70001:]
open("old", "wb").write(old)
open("new", "wb").write(new)
PY
for mode in 1 2 3 4; do
  for vary in -3 -2 -1 0 1 2; do
    rm -f patch out
    Vardelta old new patch MODE $mode VARY $vary > /dev/null || echo "maker failed"
    Varmend old patch out NOVERSION; echo "MODE $mode VARY $vary exit $?"
    cmp out new && echo identical
  done
done
