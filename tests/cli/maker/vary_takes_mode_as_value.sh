# VARY takes the next word, MODE, as its value (0); MODE keeps its default 3;
# the files are then 2 (old), old (new) and new (patch); the word patch is
# ignored.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > 2
printf 'ABCDEFGHxyKLMNOP' > old
Vardelta VARY MODE 2 old new patch > /dev/null
echo "exit $?"
ls
hex new
