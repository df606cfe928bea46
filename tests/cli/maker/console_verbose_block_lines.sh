# VERBOSE with a fixed MODE lists every block instead of the percentage, and
# no 100% line follows the list.
printf '0123456789' > old
printf '0123456789XY' > new
Vardelta old new patch MODE 1 VERBOSE
