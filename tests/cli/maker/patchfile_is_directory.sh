# A directory as the patch file cannot be opened for appending: exit 10, and
# the directory stays as it was.
mkdir dir
printf 'old' > old
printf 'new' > new
Vardelta old new dir
echo "exit $?"
ls
ls -A dir
