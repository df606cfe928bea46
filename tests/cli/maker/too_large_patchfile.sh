# An existing patch file of 2 GiB is refused and left as it is.
printf 'old' > old
printf 'new' > new
truncate -s 2G patch
Vardelta old new patch
echo "exit $?"
stat -c '%n %s' *
