# A patch file of an earlier generation (VLM2) is refused and left unchanged.
. "$CASES/maker/lib.bash"
make_one_record_patch
poke patch 3 32
fix_crc_total patch
append_second_pair
