# A block stream of 3003 bytes does not fit into the temporary file under a
# 1 KiB file-size limit: copying it to the patch file reads short, and the
# patch file this run created is deleted.
printf 'abc' > old
printf '%03000d' 0 > new
( trap '' XFSZ; ulimit -f 1; Vardelta old new patch MODE 1 )
echo "exit $?"
ls
