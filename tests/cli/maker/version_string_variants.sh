# Only an exact "$VER: " with at least one byte after it is a version string,
# and the first one wins. The old file holds none: no space, lower case, and
# the marker as its last six bytes.
printf '$VER:x $ver: y $VER: ' > old
printf 'a $VER: first\0$VER: second\0' > new
Vardelta old new patch | sed -n 1,3p
