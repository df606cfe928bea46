# MODE is tested when it is read, before AUTO is looked up.
Vardelta old new patch AUTO MODE 5
