# Three bytes behind the last record (CRC total made to fit): the chain does
# not end at the end of the file; refused, file unchanged.
. "$CASES/maker/lib.bash"
make_one_record_patch
printf 'xyz' >> patch
fix_crc_total patch
append_second_pair
