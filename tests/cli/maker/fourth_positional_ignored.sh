# A fourth file name is ignored: it is neither opened nor created.
. "$CASES/maker/lib.bash"
printf '0123456789' > old
printf '0123456789XY' > new
Vardelta old new patch extra MODE 1 > /dev/null
echo "exit $?"
ls
hex patch
