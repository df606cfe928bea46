# MODE 5 is refused with its value, then the usage text; exit 5, no file.
printf 'old' > old
printf 'new' > new
Vardelta old new patch MODE 5
echo "exit $?"
ls
