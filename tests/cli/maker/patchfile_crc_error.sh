# One byte changed after offset 8 (in the data of the first record): the
# CRC total no longer matches; refused, file unchanged.
. "$CASES/maker/lib.bash"
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
poke patch 39 5a
cp patch patch.before
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
