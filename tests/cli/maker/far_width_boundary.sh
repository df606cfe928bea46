# The far width of the first record of a new patch file: an old file of
# 65,535 bytes still gets 2-byte far positions, one of 65,536 bytes 3-byte
# ones. Each new file is the 20 letters A..T that lie near the old file's end.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOPQRST' > new
printf '%065505d' 0 > old1
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123' >> old1
Vardelta old1 new patch1 MODE 3 > /dev/null
hex patch1
printf '%065506d' 0 > old2
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123' >> old2
Vardelta old2 new patch2 MODE 3 > /dev/null
hex patch2
