# A record for another old file of the same size (another CRC) does not stop
# the run: the new record is appended and listed second.
printf '0123456789' > old1
printf '0123456789XY' > new1
Vardelta old1 new1 patch MODE 1 > /dev/null
printf '9876543210' > old2
printf '9876543210XY' > new2
Vardelta old2 new2 patch MODE 1 | sed -n '/contains patches for 2 files\.$/,$p'
echo "exit ${PIPESTATUS[0]}"
