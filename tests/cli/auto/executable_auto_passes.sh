# AUTO and AUTO DEEP on hunk executables: which combinations are tried, how
# many passes are announced, when the oldfile's index is rebuilt ("Sorting"),
# and that the record holds the first smallest candidate (best.py), for
#   both files transformable    DEEP: 0 and 3, 24 passes; without: 3
#   only the oldfile            DEEP: 0 alone, 12 passes; without: coded
#                               untransformed after transform and restore
#   only the newfile            DEEP: 0 and 2, 24 passes; without: untransformed
# Sorting lines: one before coding; DEEP adds one when combination 3 transforms
# the oldfile; without DEEP combination 3 always tries the oldfile's transform
# and rebuilds (+1), and restores and rebuilds again when only the oldfile was
# transformable (+1).
# Every record must decode to the newfile.
source "$CASES/auto/hunks.bash"
cp "$HUNKS/amitools/libs-sc-dbg/testsc.library.1-96760c5" old
cp "$HUNKS/amitools/libs-sc-dbg/testsc.library.2-43fe8a1" new
python3 "$TOOL" unrecognised old plain_old
python3 "$TOOL" unrecognised new plain_new
run() {  # label old new deep(0/1) oldresult newresult [show-reloc]
  rm -f patch
  if [ "$4" = 1 ]; then Vardelta "$2" "$3" patch AUTO DEEP VERBOSE > log; else Vardelta "$2" "$3" patch AUTO VERBOSE > log; fi
  echo "$1: exit $?, $(pass_lines log | tail -n 1), $(sortings log) Sorting lines"
  python3 "$CASES/auto/best.py" log "$4" "$5" "$6" $7
  python3 "$CASES/auto/decode.py" patch "$2" "$3"
}
run "both, DEEP" old new 1 2 2
run "both" old new 0 2 2 show-reloc
run "oldfile only, DEEP" old plain_new 1 2 0 show-reloc
run "oldfile only" old plain_new 0 2 0 show-reloc
run "newfile only, DEEP" plain_old new 1 0 2
run "newfile only" plain_old new 0 0 2 show-reloc
