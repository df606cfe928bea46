# Oldfile ABCDEFGHIJ, newfile ABCDEFGHIJXY: every candidate is
# a match of 10 at position 0 and a data block XY.
#   MODE 1: 8A 00, 02 58 59          patchsize 25
#   MODE 2: 8A 40 00, 02 58 59       patchsize 26
#   MODE 3: C9 00, 81 58 59          patchsize 25
#   MODE 4: CA 00, 82 58 59          patchsize 25
# VARY -1 and +1 change nothing (the gains are 7 to 9; no search finds 3
# bytes after position 10). Equal sizes keep the earlier candidate, so MODE 1
# (with DEEP: MODE 1 VARY -1) is written.
# Percentages of each pass: 0 at position 0, 83 at position 10, then the data
# scan searches at 11 (91) and at the end, 12 (100).
printf 'ABCDEFGHIJ' > old
printf 'ABCDEFGHIJXY' > new
for words in "AUTO" "AUTO VERBOSE" "AUTO DEEP VERBOSE"; do
  name=p$(printf '%s' "$words" | tr -d ' ' | tr 'A-Z' 'a-z')
  Vardelta old new "$name" $words
  echo "exit $?"
  python3 "$CASES/auto/record.py" "$name" old new 00000001 2 '8a 00 02 58 59'
done
