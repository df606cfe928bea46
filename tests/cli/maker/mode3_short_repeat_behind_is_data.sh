# Old ABCDEFGHIJ, new ABCDEFGHIJFGH in MODE 3. The trailing FGH occurs in the
# old file only behind the running position, so it needs the far form
# (escape 127 + u16): 1 + 1 + 2 + length byte. The estimated cost of a far
# oldfile match (1 + 5 + 3 = 9) exceeds its 3 bytes, so even the lowest
# minimal block size codes FGH as plain data: 0xC9 0x00, 0x82 F G H.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJ' > old
printf 'ABCDEFGHIJFGH' > new
Vardelta old new patch MODE 3 VARY -3 > /dev/null
hex patch
