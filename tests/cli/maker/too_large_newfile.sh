# A new file of 2 GiB is refused, exit 15.
printf 'old' > old
truncate -s 2G big
Vardelta old big patch
echo "exit $?"
stat -c '%n %s' *
