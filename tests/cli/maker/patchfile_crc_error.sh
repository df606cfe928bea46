# One byte changed after offset 8 (in the data of the first record): the
# CRC total no longer matches; refused, file unchanged.
. "$CASES/maker/lib.bash"
make_one_record_patch
poke patch 39 5a
append_second_pair
