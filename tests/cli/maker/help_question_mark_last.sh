# "?" after the file names prints the help and exits 0 before any file is
# opened: nothing is created.
Vardelta old new patch ?
echo "exit $?"
ls
