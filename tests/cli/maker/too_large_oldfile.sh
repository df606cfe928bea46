# An old file of 2 GiB (sparse) is refused before anything is loaded, exit 15.
# The patch file that was created for it is removed again, silently.
truncate -s 2G big
printf 'new' > new
Vardelta big new patch
echo "exit $?"
stat -c '%n %s' *
