# Old ABCDEFGHIJ, new ABCxyFGHIJ in MODE 3: match ABC, replace data xy, then
# a match of FGHIJ that carries no position (running position 3 + 2).
# The 3-byte match ABC pays off only with a low minimal block size.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJ' > old
printf 'ABCxyFGHIJ' > new
Vardelta old new patch MODE 3 VARY -3 > /dev/null
hex patch
