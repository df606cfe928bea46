# Appending to an existing patch file fails when the file is closed (a 1 KiB
# file-size limit): the file is put back to exactly its bytes before the run.
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
cp patch patch.before
printf 'abc' > old
printf '%01000d' 0 > new
( trap '' XFSZ; ulimit -f 1; Vardelta old new patch MODE 1 )
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
