# A hard link or a symbolic link to an input is the same file as well.
printf '0123456789' > old
printf '0123456789XY' > new
cp old old.before
cp new new.before
ln old hard
ln -s new soft
Vardelta old new hard
echo "exit $?"
Vardelta old new soft
echo "exit $?"
cmp old old.before && cmp new new.before && echo "inputs unchanged"
