# No temporary file can be made for the first candidate: the run ends after
# its pass line with "Cannot open temporary file.", exit 15. A patch file this
# run created is deleted; an existing one is left exactly as it was, without a
# deletion message.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyIJKLMNOP' > new
TMPDIR=$PWD/missing Vardelta old new patch AUTO
echo "exit $?"
ls
Vardelta old new patch MODE 1 > /dev/null
cp patch patch.before
printf '0123456789' > old2
printf '0123456789XY' > new2
TMPDIR=$PWD/missing Vardelta old2 new2 patch AUTO DEEP VERBOSE
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
