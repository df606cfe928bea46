# An output that is the oldfile or the patch file, by any name (the same
# spelling, a hard link, a symbolic link), is refused before anything is
# written: both inputs stay as they were.
printf 'ABCDEFGH' > old
printf 'ABCxyzFGH' > new
Vardelta old new patch MODE 1 > /dev/null
cp old old.orig; cp patch patch.orig
ln old hardlink
ln -s patch symlink
Varmend old patch old; echo "newfile is oldfile exit $?"
Varmend old patch hardlink; echo "hard link exit $?"
Varmend old patch patch; echo "newfile is patchfile exit $?"
Varmend old patch symlink DIRECT; echo "intermediate exit $?"
Varmend old patch DIRECT BACKUP ./old; echo "backupfile exit $?"
cmp old old.orig && cmp patch patch.orig && echo "inputs unchanged"
