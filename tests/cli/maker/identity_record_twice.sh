# An identity record exists; identical files for the same old file again are
# refused with exit 5, the patch file unchanged.
printf '0123456789' > old
cp old same
Vardelta old same patch MODE 1 > /dev/null
cp patch patch.before
cp old same2
Vardelta old same2 patch MODE 1
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
