# No temporary file can be made while appending: the existing patch file is
# left exactly as it was and no deletion is reported; the copy of it made
# beside it for the append goes too.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch > /dev/null
cp patch patch.before
printf '0123456789' > old2
printf '0123456789XY' > new2
TMPDIR=$PWD/missing Vardelta old2 new2 patch
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
ls
