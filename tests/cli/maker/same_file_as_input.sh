# The maker never writes to its inputs: the old or the new file named as the
# patch file is refused with exit 15, and both stay unchanged.
printf '0123456789' > old
printf '0123456789XY' > new
cp old old.before
cp new new.before
Vardelta old new old
echo "exit $?"
Vardelta old new new
echo "exit $?"
Vardelta old new ./old
echo "exit $?"
cmp old old.before && cmp new new.before && echo "inputs unchanged"
ls
