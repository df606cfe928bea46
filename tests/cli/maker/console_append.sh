# A second run appends to the patch file of the first: the checksum status
# lines, the check of the existing file, both sorting notes, a blank line in
# place of the checksum lines and a listing with both records.
. "$CASES/maker/lib.bash"
make_one_record_patch
printf 'abcdefghij' > old2
printf 'abcdefghijkl' > new2
Vardelta old2 new2 patch MODE 1
echo "exit $?"
hex patch
