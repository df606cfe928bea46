# Keywords in mixed case before, between and after the file names: the same
# record as "Vardelta old new patch MODE 1 VARY -3" (ABCDEFGH to ABCxyzFGH).
# vErBoSe only changes the console output, which is not looked at here.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGH' > old
printf 'ABCxyzFGH' > new
Vardelta vErBoSe old MoDe 1 new VaRy -3 patch > /dev/null
echo "exit $?"
ls
hex patch
