# Two 200 MiB files under a 300 MB address-space limit: the new file's buffer
# cannot be allocated. "Not enough memory", exit 15; the patch file this run
# created is removed again, without a deletion message: it never held data.
if [ "$SANITIZED" = 1 ]; then
  echo "the sanitizers reserve more address space than the limit allows"
  exit 77
fi
truncate -s 200M old
truncate -s 200M new
( ulimit -v 300000; Vardelta old new patch )
echo "exit $?"
stat -c '%n %s' *
