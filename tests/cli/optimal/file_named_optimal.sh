# OPTIMAL is a keyword: a patch file literally named "optimal" is taken for
# it (so the patchfile is missing), and must be given as ./optimal.
printf 'old' > old
printf 'new' > new
Vardelta old new optimal
echo "exit $?"
ls
Vardelta old new ./optimal > /dev/null
echo "exit $?"
ls
