# A directory as the new file: exit 10, no patch file.
mkdir dir
printf 'old' > old
Vardelta old dir patch
echo "exit $?"
ls
