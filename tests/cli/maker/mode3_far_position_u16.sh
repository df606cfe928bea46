# A match behind the running position in MODE 3 takes the far form: escape
# byte 127 and, for the first record of a new patch file with a 26-byte old
# file, a 2-byte far position. Old A..Z, new A..Z followed by F..T.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ' > old
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZFGHIJKLMNOPQRST' > new
Vardelta old new patch MODE 3 > /dev/null
hex patch
