# A second run appends to the patch file of the first: the checksum status
# lines, the check of the existing file, both sorting notes, a blank line in
# place of the checksum lines and a listing with both records.
. "$CASES/maker/lib.bash"
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
printf 'abcdefghij' > old2
printf 'abcdefghijkl' > new2
Vardelta old2 new2 patch MODE 1
echo "exit $?"
hex patch
