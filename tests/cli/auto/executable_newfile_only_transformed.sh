# The oldfile holds uae.audio's bytes in difference form, with its first
# longword changed so that it is not recognised; the newfile is uae.audio.
# Only the newfile is transformable, so AUTO DEEP tries combination 0 and
# combination 2 (the newfile alone transformed): 24 passes. Transformed, the
# newfile equals the oldfile but for one byte, so a candidate of combination 2
# must win: the record carries old reloc 0 and new reloc 2 (type word
# 0008000n), and the rebuilt bytes must be summed back to uae.audio.
# Without DEEP the pair is coded untransformed: reloc 0 0.
source "$CASES/auto/hunks.bash"
cp "$HUNKS/uae/uae.audio" new
python3 "$TOOL" transform new diff
python3 "$TOOL" unrecognised diff old
echo "results: old $(python3 "$TOOL" result old), new $(python3 "$TOOL" result new)"
Vardelta old new patch AUTO DEEP VERBOSE > log
echo "AUTO DEEP: exit $?, $(pass_lines log | tail -n 1)"
python3 "$CASES/auto/best.py" log 1 0 2 show-reloc
echo "type word $(type_word patch | cut -c1-4)"
python3 "$CASES/auto/decode.py" patch old new
rm -f patch
Vardelta old new patch AUTO VERBOSE > log
echo "AUTO: exit $?, $(pass_lines log | tail -n 1)"
python3 "$CASES/auto/best.py" log 0 0 2 show-reloc
python3 "$CASES/auto/decode.py" patch old new
