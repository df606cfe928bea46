# Identical hunk executables of 72 bytes (a code hunk of 8 bytes, one
# relocation group with the offsets 16, 40, 44, HUNK_END), so both files are
# transformable.
# Without DEEP combination 3 codes both transformed: the oldfile's index is
# rebuilt after its transform (a second "Sorting" line), the one MODE 1
# candidate is the match of all 72 bytes (C8 00), and the record carries old
# reloc 2 and new reloc 2: type word 000A0001.
# With DEEP combination 0 (untransformed) comes first and already ends the
# search: pass 1 of 24, reloc 0 0, type word 00000001.
python3 - <<'PY'
words = [0x3F3, 0, 1, 0, 0, 2,          # header: one hunk of 2 longwords
         0x3E9, 2, 0x41424344, 0x45464748,
         0x3EC, 3, 0, 16, 40, 44, 0,    # one group for hunk 0
         0x3F2]
open('old', 'wb').write(b''.join(w.to_bytes(4, 'big') for w in words))
PY
cp old new
python3 "$CASES/auto/hunktool.py" result old
Vardelta old new pautoverbose AUTO VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautoverbose old new 000a0001 1 'c8 00'
Vardelta old new pautodeep AUTO DEEP
echo "exit $?"
python3 "$CASES/auto/record.py" pautodeep old new 00000001 1 'c8 00'
Vardelta old new pautodeepverbose AUTO DEEP VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautodeepverbose old new 00000001 1 'c8 00'
