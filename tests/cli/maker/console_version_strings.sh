# The version texts of both files: up to the first control character (NUL in
# the old file, line feed in the new one); byte 0xE9 belongs to the text.
printf 'xx$VER: old 1.0\0' > old
printf '$VER: new\351\n' > new
Vardelta old new patch
