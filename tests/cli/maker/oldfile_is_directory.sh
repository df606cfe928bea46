# A directory is no file to read: the old file cannot be opened, exit 10.
mkdir dir
printf 'new' > new
Vardelta dir new patch
echo "exit $?"
ls
