# A patch file that does not start with VLM is refused and left unchanged.
. "$CASES/maker/lib.bash"
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
printf 'Some text, no patch file.\n' > patch
unchanged_after Vardelta old new patch
