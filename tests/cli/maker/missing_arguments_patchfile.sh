# Two file names only: the three-part message and exit 5, nothing created.
printf 'old' > old
printf 'new' > new
Vardelta old new
echo "exit $?"
ls
