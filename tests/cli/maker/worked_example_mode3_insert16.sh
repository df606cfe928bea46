# Old ABCDEFGHIJKLMNOP, new ABCDEFGHxyIJKLMNOP in MODE 3, VARY 0: match 8,
# insert data xy, match 8 at the running position (no position bytes).
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyIJKLMNOP' > new
Vardelta old new patch MODE 3 VARY 0 > /dev/null
hex patch
