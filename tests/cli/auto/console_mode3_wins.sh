# Oldfile ABCDEFGHIJKLMNOP, newfile ABCDEFGHxyIJKLMNOP (xy inserted after 8).
# Each candidate: a match of 8 at 0, the data xy (the scan finds the match
# IJKLMNOP at newfile position 10, oldfile position 8), a match of 8.
#   MODE 1: 88 00, 02 78 79, 88 00          patchsize 27
#   MODE 2: 88 40 00, 02 78 79, 88 40 00    patchsize 29
#   MODE 3: C7 00, 01 78 79 (insert), C7    patchsize 26
#   MODE 4: C8 00, 02 78 79 (insert), C8    patchsize 26
# MODE 3 is smaller than the candidates before it and MODE 4 only ties, so
# MODE 3 is written (with DEEP: MODE 3 VARY -1; VARY -1 and +1 find the
# same blocks, the searches at 8 and 9 have no 3-byte key in the oldfile).
# Percentages: 0 at 0, 44 at 8, the scan at 9 (50) and 10 (55); the match at
# 10 is 55 again, so nothing more is printed.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyIJKLMNOP' > new
for words in "AUTO" "AUTO VERBOSE" "AUTO DEEP" "AUTO DEEP VERBOSE"; do
  name=p$(printf '%s' "$words" | tr -d ' ' | tr 'A-Z' 'a-z')
  Vardelta old new "$name" $words
  echo "exit $?"
  python3 "$CASES/auto/record.py" "$name" old new 00000003 3 'c7 00 01 78 79 c7'
done
