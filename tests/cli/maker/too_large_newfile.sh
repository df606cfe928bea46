# A new file of 2 GiB is refused, exit 15; the patch file this run created
# is removed again, silently.
printf 'old' > old
truncate -s 2G big
Vardelta old big patch
echo "exit $?"
stat -c '%n %s' *
