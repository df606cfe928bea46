# Patch files that the maker appended to: each record applies to its own
# oldfile, whatever its place in the file; a record whose new file repeats
# the literal data of an earlier record copies it from the patch file; empty
# oldfiles and newfiles work in every MODE.
python3 - <<'PY'
import random
r = random.Random(11)
def noise(n):
    return bytes(r.getrandbits(8) for _ in range(n))
shared = noise(20000)
open("old1", "wb").write(noise(3000))
open("new1", "wb").write(shared + noise(100))
open("old2", "wb").write(noise(5000))
open("new2", "wb").write(noise(50) + shared + noise(50))
open("old3", "wb").write(b"$VER: three 1.0\0" + noise(4000))
open("new3", "wb").write(b"$VER: three 1.1\0" + noise(4000))
PY
for mode in 1 2 3 4; do
  rm -f patch
  for n in 1 2 3; do Vardelta old$n new$n patch MODE $mode > /dev/null || echo "maker failed"; done
  for n in 3 1 2; do
    Varmend old$n patch out$n NOVERSION; echo "MODE $mode record $n exit $?"
    cmp out$n new$n && echo identical
  done
  # 20000 bytes of noise cannot shrink: the second record is small only
  # because it copies them from the first record's data in the patch file.
  size=$(stat -c %s patch)
  [ "$size" -lt 35000 ] && echo "shared data stored once"
done
: > empty
printf 'something' > some
for mode in 1 2 3 4; do
  rm -f p1 p2 p3 o1 o2 o3
  Vardelta empty some p1 MODE $mode > /dev/null
  Vardelta some empty p2 MODE $mode > /dev/null
  Vardelta empty empty p3 MODE $mode > /dev/null
  Varmend empty p1 o1 QUIET; echo "MODE $mode empty to some exit $?"; cmp o1 some && echo identical
  Varmend some p2 o2 QUIET; echo "MODE $mode some to empty exit $?"; cmp o2 empty && echo identical
  Varmend empty p3 o3 QUIET; echo "MODE $mode empty to empty exit $?"; cmp o3 empty && echo identical
done
