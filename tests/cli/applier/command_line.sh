# Help, the accepted combinations of third argument, DIRECT and BACKUP, and
# keywords anywhere on the line.
printf 'ABCDEFGH' > old
printf 'ABCxyzFGH' > new
Vardelta old new patch MODE 1 > /dev/null
Varmend; echo "nothing exit $?"
Varmend old patch; echo "no third exit $?"
Varmend old patch BACKUP bak; echo "BACKUP without DIRECT exit $?"
Varmend old patch DIRECT BACKUP; echo "BACKUP without backupfile exit $?"
Varmend old patch out ?; echo "? exit $?"
Varmend --HELP; echo "--HELP exit $?"
Varmend -h old; echo "-h exit $?"
[ -e out ] || echo "no output"
Varmend QUIET old patch out extra; echo "fourth positional exit $?"; cmp out new && echo "out is new"
cp old old2
Varmend old2 patch bak BACKUP dIrEcT quiet; echo "bak BACKUP DIRECT exit $?"
cmp old2 new && cmp bak old && echo "old2 replaced, bak holds old"
# "direct" is a keyword, never a file name.
cp old old3
Varmend old3 patch direct QUIET; echo "direct as name exit $?"
cmp old3 new && [ ! -e direct ] && echo "old3 replaced in place"
