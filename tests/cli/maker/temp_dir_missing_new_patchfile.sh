# No temporary file can be made: the patch file this run created is deleted.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
TMPDIR=$PWD/missing Vardelta old new patch
echo "exit $?"
ls
