# A record for another old file of the same size (another CRC) does not stop
# the run: the new record is appended and listed second.
. "$CASES/maker/lib.bash"
make_one_record_patch
printf '9876543210' > old2
printf '9876543210XY' > new2
Vardelta old2 new2 patch MODE 1 | sed -n '/contains patches for 2 files\.$/,$p'
echo "exit ${PIPESTATUS[0]}"
