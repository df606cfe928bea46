# A fixed MODE transforms both files when both are hunk executables with
# relocations: the record carries old reloc 2 and new reloc 2 (type word
# 000A000n), the CRCs of the files on disk, and a block stream that decodes
# (against the transformed oldfile, summing the result) to the newfile.
# When only one of the two is an executable, neither is transformed: reloc
# 0 0 (type word 0000000n), and the stream decodes on the raw bytes.
source "$CASES/auto/hunks.bash"
pairs="vscode-amiga-assembly/gencop.1-6dd1100 vscode-amiga-assembly/gencop.2-ad47a0c
amitools/exec_initres/exec_initres_vc.1-96760c5 amitools/exec_initres/exec_initres_vc.2-43fe8a1
amitools/libs-sc-dbg/testsc.library.1-96760c5 amitools/libs-sc-dbg/testsc.library.2-43fe8a1"
run() {  # label old new mode
  rm -f patch
  Vardelta "$2" "$3" patch MODE "$4" > log
  echo "$1 MODE $4: exit $?, reloc and type $(row_reloc_type log), type word $(type_word patch), $(row_crcs_on_disk log "$2" "$3")"
  python3 "$CASES/auto/decode.py" patch "$2" "$3"
}
while read -r old new; do
  cp "$HUNKS/$old" old
  cp "$HUNKS/$new" new
  echo "$(basename "$old") $(python3 "$TOOL" result old), $(basename "$new") $(python3 "$TOOL" result new)"
  crc_pair old new
  for mode in 1 2 3 4; do run pair old new $mode; done
done <<< "$pairs"
# Only one file is an executable: the other one's first longword is changed.
python3 "$TOOL" unrecognised new plain_new
python3 "$TOOL" unrecognised old plain_old
echo "plain_new $(python3 "$TOOL" result plain_new), plain_old $(python3 "$TOOL" result plain_old)"
crc_pair old plain_new
for mode in 1 2 3 4; do run old-only old plain_new $mode; done
crc_pair plain_old new
for mode in 1 2 3 4; do run new-only plain_old new $mode; done
