# A missing old file: exit 10, and the patch file (opened last) is not created.
printf 'new' > new
Vardelta old new patch
echo "exit $?"
ls
