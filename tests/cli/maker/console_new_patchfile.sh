# Everything a plain run prints when it creates a patch file (default MODE 3):
# status lines, the sorting note, the running percentage, the checksums, the
# final check and the listing.
printf 'ABCDEFGHIJKLMNOP' > old
printf 'ABCDEFGHxyKLMNOP' > new
Vardelta old new patch
