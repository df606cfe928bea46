# The record stores what the relocation walk returned for each file: 2 for a
# clean executable, 1 when the walk stopped before the end (trailing bytes
# that do not look like a hunk). Hand-built executable of 72 bytes (one code
# hunk "ABCDEFGH", one group 16, 40, 44, HUNK_END) and the same with "ABCD"
# appended.
#   clean -> trailing, MODE 1: reloc 2 1, type word 00060001; the match of all
#     72 transformed bytes (C8 00) and the data ABCD (04 41 42 43 44)
#   trailing -> clean, MODE 1: reloc 1 2, type word 00090001; C8 00 only
# Varmend must rebuild the newfile from both (any non-zero value is on).
python3 - <<'PY'
words = [0x3F3, 0, 1, 0, 0, 2, 0x3E9, 2, 0x41424344, 0x45464748,
         0x3EC, 3, 0, 16, 40, 44, 0, 0x3F2]
clean = b''.join(w.to_bytes(4, 'big') for w in words)
open('clean', 'wb').write(clean)
open('trailing', 'wb').write(clean + b'ABCD')
PY
echo "walk: clean $(python3 "$CASES/auto/hunktool.py" result clean), trailing $(python3 "$CASES/auto/hunktool.py" result trailing)"
Vardelta clean trailing p1 MODE 1 > /dev/null
echo "exit $?"
python3 "$CASES/auto/record.py" p1 clean trailing 00060001 2 'c8 00 04 41 42 43 44'
Varmend clean p1 out1 QUIET
echo "applier exit $?"
cmp -s out1 trailing && echo "trailing rebuilt"
Vardelta trailing clean p2 MODE 1 > /dev/null
echo "exit $?"
python3 "$CASES/auto/record.py" p2 trailing clean 00090001 1 'c8 00'
Varmend trailing p2 out2 QUIET
echo "applier exit $?"
cmp -s out2 clean && echo "clean rebuilt"
