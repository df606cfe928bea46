# Records made with OPTIMAL in every MODE, with AUTO and AUTO DEEP, for a new
# patch file and appended to one that already holds a record (whose data the
# new record may copy): Varmend rebuilds each newfile byte for byte, and no
# patch file is larger than the greedy encoder's of the same MODE at VARY 0
# (for AUTO and AUTO DEEP: than plain AUTO's, which tries those four).
python3 - <<'PY'
import random
r = random.Random(13)
def code(n):
    return bytes(b for _ in range(n) for b in (0x40 + r.randrange(24), r.randrange(4), r.getrandbits(8), r.randrange(3)))
def edit(data):
    data = bytearray(data)
    for _ in range(len(data) // 200):
        at = r.randrange(len(data))
        if r.random() < 0.7:
            data[at] = r.getrandbits(8)
        else:
            data[at:at] = bytes(r.getrandbits(8) for _ in range(r.randrange(1, 9)))
    return bytes(data)
v1 = code(6000)
v2 = edit(v1) + code(800)
v3 = edit(v2)
for name, data in (("v1", v1), ("v2", v2), ("v3", v3)):
    open(name, "wb").write(data)
PY
size() { stat -c %s "$1"; }
for run in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO" "AUTO DEEP"; do
  greedy=${run% DEEP}
  rm -f p g pa ga out
  Vardelta v1 v2 p $run OPTIMAL > /dev/null && Vardelta v1 v2 g $greedy > /dev/null
  cp p pa && cp g ga
  Vardelta v2 v3 pa $run OPTIMAL > /dev/null && Vardelta v2 v3 ga $greedy > /dev/null
  Varmend v1 p out QUIET && cmp -s out v2 && rm out && Varmend v2 pa out QUIET && cmp -s out v3 &&
    echo "$run: rebuilt, new and appended"
  rm -f out
  [ "$(size p)" -le "$(size g)" ] && [ $(($(size pa) - $(size p))) -le $(($(size ga) - $(size g))) ] &&
    echo "$run: not larger than $greedy"
done
