# A chain a -> b, then the identity record b -> b: a record b -> c still
# appends after the identity record, but once it is there, b -> c again is
# refused with exit 5 and the patch file stays unchanged.
printf 'AAAAAAAAAA' > a
printf '0123456789' > b
printf '0123456789XY' > c
Vardelta a b patch MODE 1 > /dev/null
cp b b2
Vardelta b b2 patch MODE 1 > /dev/null
echo "exit $?"
Vardelta b c patch MODE 1 > /dev/null
echo "exit $?"
cp patch patch.before
Vardelta b c patch MODE 1 | tail -n 1
echo "exit ${PIPESTATUS[0]}"
cmp patch patch.before && echo "patch unchanged"
