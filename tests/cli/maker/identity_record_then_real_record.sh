# Identical old and new files give an identity record (one match block,
# CRCold = CRCnew). A later run for the same old file with a different new
# file may still append its record.
. "$CASES/maker/lib.bash"
printf '0123456789' > old
cp old same
Vardelta old same patch MODE 1 > /dev/null
printf '0123456789XY' > new
Vardelta old new patch MODE 1
echo "exit $?"
hex patch
