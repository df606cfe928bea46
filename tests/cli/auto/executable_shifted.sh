# A newfile made from a real executable (uae.audio: one code hunk, one
# relocation group of 54 offsets) by inserting 4 bytes at offset 1000 of the
# code and adding 4 to every relocation offset from 1000 on (25 of them).
# Transformed, the offset table changes in one difference only; raw, in 25
# offsets. So with the transform (the pair as it is) each fixed MODE must
# give a smaller record than on copies whose first longword was changed so
# that they are not recognised (coded raw).
# AUTO DEEP must pick a transformed candidate (reloc 2 2), the first smallest
# one; its candidates of combination 3 with MODE 1 to 3 code exactly what the
# fixed MODE runs with the same VARY code, so their sizes must agree.
source "$CASES/auto/hunks.bash"
cp "$HUNKS/uae/uae.audio" old
python3 "$TOOL" shift old new 1000
python3 "$TOOL" unrecognised old plain_old
python3 "$TOOL" unrecognised new plain_new
echo "results: old $(python3 "$TOOL" result old), new $(python3 "$TOOL" result new), copies $(python3 "$TOOL" result plain_old) $(python3 "$TOOL" result plain_new)"
declare -A fixed
for mode in 1 2 3 4; do
  rm -f patch plain_patch
  Vardelta old new patch MODE $mode > log
  transformed=$(row_patchsize log)
  echo "MODE $mode: reloc and type $(row_reloc_type log)"
  python3 "$CASES/auto/decode.py" patch old new
  Vardelta plain_old plain_new plain_patch MODE $mode > log
  raw=$(row_patchsize log)
  echo "MODE $mode raw: reloc and type $(row_reloc_type log)"
  if [ "$transformed" -lt "$raw" ]; then
    echo "MODE $mode: transformed record smaller"
  else
    echo "MODE $mode: transformed record $transformed bytes, raw $raw"
  fi
done
for mode in 1 2 3; do
  for vary in -1 0 1; do
    rm -f patch
    Vardelta old new patch MODE $mode VARY $vary > log
    fixed[$mode,$vary]=$(row_patchsize log)
  done
done
rm -f patch
Vardelta old new patch AUTO DEEP VERBOSE > log
echo "AUTO DEEP: exit $?"
python3 "$CASES/auto/best.py" log 1 2 2 show-reloc
python3 "$CASES/auto/decode.py" patch old new
mapfile -t sizes < <(candidate_sizes log)
# Candidates 13 to 24 are combination 3: MODE 1 VARY -1, 0, 1, MODE 2 ...
k=12
for mode in 1 2 3; do
  for vary in -1 0 1; do
    [ "${sizes[$k]}" = "${fixed[$mode,$vary]}" ] ||
      echo "candidate $((k + 1)) (MODE $mode VARY $vary, transformed): ${sizes[$k]} bytes, fixed MODE run ${fixed[$mode,$vary]}"
    k=$((k + 1))
  done
done
echo "done"
