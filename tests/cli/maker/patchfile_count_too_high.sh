# The header claims two records but the file holds one (CRC total made to
# fit): the record chain runs past the end; refused, file unchanged.
. "$CASES/maker/lib.bash"
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
poke patch 11 02
fix_crc_total patch
cp patch patch.before
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
