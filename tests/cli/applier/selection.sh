# The last matching record wins: two hand-built records for one oldfile, and
# a maker-built file where B->C follows the identity record B->B. Version
# texts that run to the end of the file end there.
PYTHONPATH="$CASES/applier" python3 - <<'PY'
from patchkit import *
old = sample_old(50)
write("old", old)
first = record(old, b"first", 1, bytes([0x05]) + b"first", 1)
second = record(old, b"second", 1, bytes([0x06]) + b"second", 1)
write("two", patch_file([first, second]))
# No byte after the text: nothing but "end" may be shown, also when the text
# lies beyond the first chunk that the search reads.
write("tail", b"x" * 500000 + b"$VER: end")
write("tailpatch", patch_file([record(b"x" * 500000 + b"$VER: end", b"$VER: new", 1,
                                     bytes([0x09]) + b"$VER: new", 1)]))
PY
Varmend old two out NOVERSION; echo "two records exit $?"; [ "$(cat out)" = second ] && echo "second applied"
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null && Vardelta B B patch > /dev/null && Vardelta B C patch > /dev/null
Varmend B patch outB; echo "after identity exit $?"; cmp outB C && echo "gives C"
Varmend tail tailpatch outT; echo "version at the end exit $?"
