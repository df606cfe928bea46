# A one-byte data block is listed as "byte" followed by a blank.
printf '0123456789' > old
printf '0123456789X' > new
Vardelta old new patch verbose mode 1
