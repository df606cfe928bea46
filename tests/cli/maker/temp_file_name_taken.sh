# Temporary names that are already taken are never opened: a planted file
# keeps its bytes, a dangling symbolic link creates nothing behind it, and the
# run goes on with the next counter value.
. "$CASES/maker/lib.bash"
printf '0123456789' > old
printf '0123456789XY' > new
(
  pid=$BASHPID
  name=$TMPDIR/patch.Vardelta-partial.$pid
  printf 'planted' > "${name}_0"
  ln -s "$PWD/through-link" "${name}_1"
  exec Vardelta old new patch MODE 1 > /dev/null
)
echo "exit $?"
ls -A "$TMPDIR" | sed 's/partial\.[0-9]*_/partial.<pid>_/'
cat "$TMPDIR"/*_0
echo
rm -f "$TMPDIR"/*
ls
hex patch
