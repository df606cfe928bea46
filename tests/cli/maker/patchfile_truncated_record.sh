# The last two bytes of the only record are cut off (CRC total made to fit):
# its patchsize leads past the end; refused, file unchanged.
. "$CASES/maker/lib.bash"
make_one_record_patch
truncate -s -2 patch
fix_crc_total patch
append_second_pair
