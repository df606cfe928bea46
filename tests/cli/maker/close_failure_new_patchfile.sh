# The patch file outgrows a 1 KiB file-size limit (the block stream of 1003
# bytes still fits into the temporary file): the buffered patch file fails
# when it is closed, and the file this run created is deleted.
printf 'abc' > old
printf '%01000d' 0 > new
( trap '' XFSZ; ulimit -f 1; Vardelta old new patch MODE 1 )
echo "exit $?"
ls
