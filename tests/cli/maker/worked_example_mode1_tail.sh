# Old 0123456789, new 0123456789XY in MODE 1 with the default VARY: a match of
# 10 bytes at position 0, then a data block with X and Y.
. "$CASES/maker/lib.bash"
printf '0123456789' > old
printf '0123456789XY' > new
Vardelta old new patch MODE 1 VARY 0 > /dev/null
hex patch
