# An oldfile or newfile that is a FIFO or a device has no size and cannot be
# read back: refused at once, without waiting for a writer and before the
# patch file is created. A fault must fail, not hang: each run is bounded.
printf 'old text' > old
printf 'new text' > new
mkfifo fifo
for inputs in "fifo new" "old fifo" "/dev/null new"; do
  timeout -s KILL 10 Vardelta $inputs patch; echo "exit $?"
done
[ -e patch ] || echo "no patch file"
[ -p fifo ] && echo "fifo is still a FIFO"
