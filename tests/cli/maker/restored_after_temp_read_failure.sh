# Appending fails while the block stream is copied (the temporary file was cut
# short by a 1 KiB file-size limit): the existing patch file is restored.
. "$CASES/maker/lib.bash"
make_one_record_patch
printf 'abc' > old
printf '%03000d' 0 > new
unchanged_after limited_to_1k Vardelta old new patch MODE 1
