# Every suggested pair of hunk executables, in every fixed MODE and with
# AUTO DEEP: the applier rebuilds the newfile byte for byte, and the records
# of the fixed MODEs carry non-zero reloc values (both files are executables
# with relocations; AUTO DEEP may find coding them untransformed smaller).
# Prints one line per failing run, then a summary.
source "$CASES/auto/hunks.bash"
pairs=0
failures=0
while IFS=$'\t' read -r old new _; do
  [ "$old" = old ] && continue
  pairs=$((pairs + 1))
  for run in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO DEEP"; do
    rm -f patch out
    Vardelta "$HUNKS/$old" "$HUNKS/$new" patch $run > log
    reloc=$(row_reloc_type log | awk '{ print ($1 != 0 && $2 != 0) ? "transformed" : "plain" }')
    [ "$run" = "AUTO DEEP" ] && reloc=transformed
    Varmend "$HUNKS/$old" patch out QUIET > /dev/null
    if [ "$reloc" != transformed ] || ! cmp -s out "$HUNKS/$new"; then
      echo "$old -> $new $run: $reloc, $(cmp out "$HUNKS/$new" 2>&1)"
      failures=$((failures + 1))
    fi
  done
done < "$HUNKS/PAIRS.tsv"
[ "$pairs" -ge 40 ] && echo "at least 40 pairs"
echo "$failures failures"
