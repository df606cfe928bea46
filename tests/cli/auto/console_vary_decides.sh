# Oldfile ABCDEFGHIJ, newfile ABCDvwxyz: the only match worth anything is ABCD
# at position 0 (gain 4 - 2 = 2 in MODE 1 and 3, 4 - 1 = 3 in MODE 4, where
# a match at the running position costs one less; 4 - 3 = 1 in MODE 2).
# Taken, it gives a match (2 bytes) and the data vwxyz (6): patchsize 28;
# refused, one data block of 9 bytes: patchsize 30.
#   VARY -1 (gain >= 2): MODE 1 28 (84 00 ...), 2 30, 3 28, 4 28
#   VARY  0 (gain >= 3): MODE 1 30, 2 30, 3 30, 4 28 (C4 00 85 ...)
#   VARY +1 (gain >= 4): 30 in every MODE
# Without DEEP (VARY 0) MODE 4 is the only 28 and wins; with DEEP MODE 1 VARY
# -1 comes first among the 28s.
# Percentages (9 bytes): with the match 0, 44, then the scan 55 66 77 88 100;
# without it the scan from position 1 prints 11 22 ... 88 100.
printf 'ABCDEFGHIJ' > old
printf 'ABCDvwxyz' > new
Vardelta old new pauto AUTO
echo "exit $?"
python3 "$CASES/auto/record.py" pauto old new 00000004 2 'c4 00 85 76 77 78 79 7a'
Vardelta old new pautoverbose AUTO VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautoverbose old new 00000004 2 'c4 00 85 76 77 78 79 7a'
Vardelta old new pautodeep AUTO DEEP
echo "exit $?"
python3 "$CASES/auto/record.py" pautodeep old new 00000001 2 '84 00 05 76 77 78 79 7a'
Vardelta old new pautodeepverbose AUTO DEEP VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautodeepverbose old new 00000001 2 '84 00 05 76 77 78 79 7a'
