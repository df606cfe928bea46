# Old ABCDEFGHIJ, new ABCxyDEFGHIJ in MODE 3: match ABC, insert data xy, then
# a match of DEFGHIJ at the running position, without position bytes.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJ' > old
printf 'ABCxyDEFGHIJ' > new
Vardelta old new patch MODE 3 VARY -3 > /dev/null
hex patch
