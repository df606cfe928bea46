# A version string near the end of a file is shown on the progress line and
# the "New file is" line: one that fills a file of 8 bytes, and one 7 bytes
# before the end, where the search in chunks used to stop too early.
printf '$VER: s0' > old
printf '$VER: s1' > new
Vardelta old new patch MODE 1 > /dev/null || echo "maker failed"
Varmend old patch out; echo "exit $?"
cmp -s out new && echo identical
# With 409,600-byte chunks, overlapping by six, the second chunk of a file of
# 819,196 bytes ends 8 bytes before its end: the pattern 7 bytes before the
# end starts after the last start that chunk examines.
python3 - <<'PY'
old = bytearray(b"." * 819196)
old[-7:] = b"$VER: z"
new = bytes(old[:-1]) + b"y"
open("bigold", "wb").write(bytes(old))
open("bignew", "wb").write(new)
PY
Vardelta bigold bignew bigpatch MODE 3 > /dev/null || echo "maker failed"
Varmend bigold bigpatch bigout; echo "exit $?"
cmp -s bigout bignew && echo identical
