# The header claims two records but the file holds one (CRC total made to
# fit): the record chain runs past the end; refused, file unchanged.
. "$CASES/maker/lib.bash"
make_one_record_patch
poke patch 11 02
fix_crc_total patch
append_second_pair
