# The same three names twice: the second run finds the old file already
# covered, exits 5 and leaves the patch file unchanged.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch > /dev/null
cp patch patch.before
Vardelta old new patch
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
