# A missing new file: exit 10, no patch file.
printf 'old' > old
Vardelta old new patch
echo "exit $?"
ls
