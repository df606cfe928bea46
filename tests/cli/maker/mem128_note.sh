# mem128 keeps the old file from the 3D lists: the note comes first, and the
# record is the same as with 3D lists.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch mem128 | sed -n 1,2p
hex patch
