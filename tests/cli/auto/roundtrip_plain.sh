# Records of plain files made with each fixed MODE, with AUTO and with AUTO
# DEEP: Varmend rebuilds the newfile byte for byte from the oldfile and the
# patch file. Also the records the optimizer stops early on: identical files
# (an identity record) and an empty newfile.
source "$CASES/auto/roundtrip.bash"
python3 - <<'PY'
import random
r = random.Random(4)
def noise(n):
    return bytes(r.getrandbits(8) for _ in range(n))
old = noise(30000)
new = (old[:3000] + b"inserted" + old[3000:12000] + old[14000:20000] + noise(700)
       + old[20000:] + old[100:2100])
new = new[:9000] + b"X" + new[9001:]
open("old", "wb").write(old)
open("new", "wb").write(new)
open("small_old", "wb").write(b"ABCDEFGHIJKLMNOP")
open("small_new", "wb").write(b"ABCDEFGHxyIJKLMNOP")
PY
cp old same
: > empty
for words in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO" "AUTO DEEP"; do
  trip "$words" old new $words
  trip "small $words" small_old small_new $words
done
trip "identical AUTO" old same AUTO
trip "identical AUTO DEEP" old same AUTO DEEP
trip "empty newfile AUTO" old empty AUTO
trip "empty newfile AUTO DEEP" old empty AUTO DEEP
