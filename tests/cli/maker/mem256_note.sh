# mem256 keeps an existing patch file from the 3D lists while the old file
# still gets them: only the patch file's note is printed.
printf 'ABCDEFGHIJKLMNOP' > old1
printf 'ABCDEFGHxyKLMNOP' > new1
Vardelta old1 new1 patch > /dev/null
printf '0123456789' > old
printf '0123456789XY' > new
Vardelta old new patch MEM256 MODE 1 | sed -n 1,2p
