# Temporary files that cannot be created: DIRECT's fresh output name, and the
# copy that hands a result on to the next RECURSIVE pass. The directory for
# temporary files is one that does not exist.
printf 'ABCDEFGH' > A
printf 'ABCxyzFGH' > B
printf 'ABCxyzFGHIJ' > C
Vardelta A B patch MODE 1 > /dev/null && Vardelta B C patch MODE 1 > /dev/null
TMPDIR=$PWD/missing Varmend A patch DIRECT; echo "DIRECT exit $?"
TMPDIR=$PWD/missing Varmend A patch out RECURSIVE; echo "RECURSIVE exit $?"; [ -e out ] || echo "out removed"
[ "$(cat A)" = ABCDEFGH ] && echo "A unchanged"
