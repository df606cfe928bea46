# Identical oldfile and newfile of 10 bytes: the first candidate (MODE 1) codes
# the whole file as one match (0x8A 0x00), is flagged identical, and the
# search ends after pass 1, with and without DEEP and VERBOSE.
# The console: the empty line before the pass lines; "Sorting old..." after
# it, and without DEEP a second time, because combination 3 tries the
# transform on the oldfile and rebuilds its index; with DEEP only combination
# 0 is tried and nothing is rebuilt. MODE 1 prints 0% at position 0 and then
# jumps to the end. VERBOSE writes the size 22 (20 + 2 stream bytes) onto the
# pass line, then the identical line; with DEEP the first candidate ran with
# VARY -1, which the "Best result" line names.
printf 'ABCDEFGHIJ' > old
cp old new
for words in "AUTO" "AUTO VERBOSE" "AUTO DEEP" "AUTO DEEP VERBOSE"; do
  name=p$(printf '%s' "$words" | tr -d ' ' | tr 'A-Z' 'a-z')
  Vardelta old new "$name" $words
  echo "exit $?"
  python3 "$CASES/auto/record.py" "$name" old new 00000001 1 '8a 00'
done
# 1000 identical bytes: still one match block, with the 2-byte length form
# (0x80, then 1000 - 127 = 0x0369) and position byte 0.
python3 -c "import sys; sys.stdout.buffer.write(bytes(i * 7 % 251 for i in range(1000)))" > long_old
cp long_old long_new
Vardelta long_old long_new plong AUTO DEEP VERBOSE
echo "exit $?"
python3 "$CASES/auto/record.py" plong long_old long_new 00000001 1 '80 03 69 00'
