# A patch file in a directory that does not exist cannot be opened: exit 10.
printf 'old' > old
printf 'new' > new
Vardelta old new nodir/patch
echo "exit $?"
ls
