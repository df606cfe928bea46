# VARY as the last word (any case) has no value either.
printf 'old' > old
printf 'new' > new
Vardelta old new patch vArY
echo "exit $?"
ls
