# An empty newfile: MODE 1 writes no block, so the stream is empty, flagged
# identical, and the search ends after pass 1. The encoder prints no
# percentage at all (it never enters its loop). The record: MODE 1, 0 blocks,
# patchsize 20, CRCnew 00000000.
printf 'ABCDEFGHIJ' > old
: > new
for words in "AUTO" "AUTO VERBOSE" "AUTO DEEP VERBOSE"; do
  name=p$(printf '%s' "$words" | tr -d ' ' | tr 'A-Z' 'a-z')
  Vardelta old new "$name" $words
  echo "exit $?"
  python3 "$CASES/auto/record.py" "$name" old new 00000001 0 ''
done
