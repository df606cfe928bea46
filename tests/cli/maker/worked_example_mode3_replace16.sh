# Old ABCDEFGHIJKLMNOP, new ABCDEFGHxyKLMNOP in MODE 3, VARY 0: match 8,
# replace data xy (I and J overwritten), match 6 at running position + 2.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch MODE 3 VARY 0 > /dev/null
hex patch
