# --HELP between existing file names: help, exit 0, no patch file created.
printf 'old' > old
printf 'new' > new
Vardelta old --HELP new patch
echo "exit $?"
ls
