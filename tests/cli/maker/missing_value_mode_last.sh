# MODE as the last word has no value: missing arguments, exit 5, and the
# patch file is not created.
printf 'old' > old
printf 'new' > new
Vardelta old new patch MODE
echo "exit $?"
ls
