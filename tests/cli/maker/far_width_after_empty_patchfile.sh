# A patch file of exactly 12 bytes: valid header, no records. The record
# appended at offset 12 codes its far positions in the width a reader
# computes from the old file's size alone (65,530 bytes: 2 bytes), not from
# old file plus patch file (65,542).
. "$CASES/maker/lib.bash"
printf 'VLM3\x21\x44\xdf\x1c\0\0\0\0' > patch
printf '%065500d' 0 > old
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123' >> old
printf 'ABCDEFGHIJKLMNOPQRST' > new
Vardelta old new patch MODE 3
echo "exit $?"
hex patch
