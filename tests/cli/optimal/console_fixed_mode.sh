# OPTIMAL, written in any case anywhere on the line, codes the default MODE 3
# with the exact-price encoder. Oldfile 0123456789abcdefghijklmnopqrstuvwxyzABCD,
# newfile the same with X at 10 and Y at 14: the best MODE 3 stream is
#   C9 00 (match 10 from 0), 40 58 (replace data X), C2 (match 3, no position:
#   11 to 13), 40 59 (replace data Y), D8 (match 25, no position: 15 on)
# 5 blocks, 8 bytes, patchsize 28; the greedy encoder sends bcd as data.
# The percentage is that of every position searched, 0 to 97 of 40 bytes.
# With VERBOSE the blocks are listed instead.
printf '0123456789abcdefghijklmnopqrstuvwxyzABCD' > old
printf '0123456789XbcdYfghijklmnopqrstuvwxyzABCD' > new
Vardelta oPtImAl old new p
echo "exit $?"
python3 "$CASES/auto/record.py" p old new 00000003 5 'c9 00 40 58 c2 40 59 d8'
Varmend old p out QUIET
cmp out new && echo "rebuilt"
Vardelta old new pv MODE 3 VERBOSE OPTIMAL
echo "exit $?"
cmp p pv && echo "same record"
