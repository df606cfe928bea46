# Appending to an existing patch file fails when the file is closed (a 1 KiB
# file-size limit): the file is put back to exactly its bytes before the run.
. "$CASES/maker/lib.bash"
make_one_record_patch
printf 'abc' > old
printf '%01000d' 0 > new
unchanged_after limited_to_1k Vardelta old new patch MODE 1
