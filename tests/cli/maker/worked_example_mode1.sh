# Old ABCDEFGH, new ABCxyzFGH in MODE 1: match ABC, data xyz, match FGH.
printf 'ABCDEFGH' > old
printf 'ABCxyzFGH' > new
Vardelta old new patch MODE 1 VARY -3 > /dev/null
od -An -tx1 -v patch
