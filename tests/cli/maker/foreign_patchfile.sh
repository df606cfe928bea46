# A patch file that does not start with VLM is refused and left unchanged.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
printf 'Some text, no patch file.\n' > patch
cp patch patch.before
Vardelta old new patch
echo "exit $?"
cmp patch patch.before && echo "patch unchanged"
