# MODE 0 is refused like any value outside 1 to 4.
Vardelta old new patch mode 0
