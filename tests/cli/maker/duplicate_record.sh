# The same three names twice: the second run finds the old file already
# covered, exits 5 and leaves the patch file unchanged.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch > /dev/null
unchanged_after Vardelta old new patch
