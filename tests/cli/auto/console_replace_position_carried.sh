# The replace position is not reset between candidates: MODE 4's estimate
# takes one off a match at the replace position, and in AUTO the MODE 4
# candidate starts with the value the MODE 3 candidate left.
# Oldfile 01234567WXYZ!, newfile WXYZabcd. The only match is WXYZ at oldfile
# position 8, length 4, estimated at 2 (gain 2) in MODE 1, 3 and 4, 3 in
# MODE 2 - too little for VARY 0 - unless MODE 4 finds it at the replace
# position: then it costs 1, gain 3.
# AUTO: MODE 1, 2 and 3 write one data block of 8 bytes (patchsize 29);
# MODE 3 leaves the replace position at 0 + 8 = 8, so MODE 4 takes the match:
# C4 08, then the data abcd: 84 61 62 63 64, patchsize 27, and wins.
# MODE 4 on its own starts at replace position 0: one data block, 29.
# AUTO DEEP: VARY -1 takes the match in MODE 1 (84 08 04 61 62 63 64), 3 and
# 4 (27); MODE 3 VARY +1 leaves 8, MODE 4 VARY -1 leaves 12 + 4 = 16, so MODE
# 4 VARY 0 does not see it (29). The first 27 is MODE 1 VARY -1.
# Percentages (8 bytes): with the match 0 50 62 75 87 100, without it
# 0 12 25 37 50 62 75 87 100.
printf '01234567WXYZ!' > old
printf 'WXYZabcd' > new
Vardelta old new pautoverbose AUTO VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautoverbose old new 00000004 2 'c4 08 84 61 62 63 64'
Vardelta old new pautodeepverbose AUTO DEEP VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" pautodeepverbose old new 00000001 2 '84 08 04 61 62 63 64'
Vardelta old new pmode4 MODE 4
echo "exit $?"
python3 "$CASES/auto/record.py" pmode4 old new 00000004 1 '88 57 58 59 5a 61 62 63 64'
