# No temporary file can be made while appending: the existing patch file is
# left exactly as it was and no deletion is reported; the copy of it made
# beside it for the append goes too.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch > /dev/null
printf '0123456789' > old2
printf '0123456789XY' > new2
unchanged_after env TMPDIR="$PWD/missing" Vardelta old2 new2 patch
ls
