# An oldfile or patch file that is a FIFO or a device is refused at once,
# without waiting for a writer. So is an output name that denotes one (the
# newfile, the named intermediate file, the backupfile): the result is read
# back after writing, and a failure would remove it. Nothing is decoded,
# nothing is deleted. A fault must fail, not hang: each run is bounded.
printf 'the old version' > A
printf 'the new version' > B
Vardelta A B patch > /dev/null
cp A A.orig
mkfifo fifo
bounded() { timeout -s KILL 10 Varmend "$@" NOVERSION; echo "exit $?"; }
echo "--- inputs"
bounded fifo patch out
bounded A fifo out
bounded /dev/null patch out
bounded A /dev/null out
[ -e out ] || echo "no out"
echo "--- outputs"
bounded A patch fifo
bounded A patch fifo DIRECT
bounded A patch DIRECT BACKUP fifo
bounded A patch /dev/null
[ -p fifo ] && echo "fifo is still a FIFO"
[ -c /dev/null ] && echo "/dev/null is still a device"
cmp -s A A.orig && echo "A unchanged"
