# Temporary names that are already taken are never opened: a planted file
# keeps its bytes, a dangling symbolic link creates nothing behind it, and the
# run goes on with the next counter value.
. "$CASES/maker/lib.bash"
printf '0123456789' > old
printf '0123456789XY' > new
(
  pid=$BASHPID
  name=$TMPDIR/t$(printf %08lx "$pid")
  printf 'planted' > "${name}_0"
  ln -s "$PWD/through-link" "${name}_1"
  exec Vardelta old new patch MODE 1 > /dev/null
)
echo "exit $?"
ls -A "$TMPDIR" | sed 's/^t[0-9a-f]\{8\}_/t<pid>_/'
cat "$TMPDIR"/t*_0
echo
rm -f "$TMPDIR"/t*
ls
hex patch
