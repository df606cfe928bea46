# Records of hunk executables made with each fixed MODE, with AUTO and with
# AUTO DEEP: Varmend rebuilds the newfile byte for byte. The pairs cover
# records with old reloc and new reloc (RELOC32, the 16-bit DREL32 layout,
# symbol and debug hunks), a newfile with shifted code and offsets, a record
# with new reloc alone (the oldfile holds the newfile's difference form and is
# not recognised), a pair where only the oldfile is an executable, and an
# identity record of an executable made with AUTO (reloc 2 2).
source "$CASES/auto/hunks.bash"
source "$CASES/auto/roundtrip.bash"
cp "$HUNKS/vscode-amiga-assembly/gencop.1-6dd1100" gencop_old
cp "$HUNKS/vscode-amiga-assembly/gencop.2-ad47a0c" gencop_new
cp "$HUNKS/amitools/exec_initres/exec_initres_vc.1-96760c5" drel_old
cp "$HUNKS/amitools/exec_initres/exec_initres_vc.2-43fe8a1" drel_new
cp "$HUNKS/amitools/libs-sc-dbg/testsc.library.1-96760c5" lib_old
cp "$HUNKS/amitools/libs-sc-dbg/testsc.library.2-43fe8a1" lib_new
cp "$HUNKS/uae/uae.audio" audio
python3 "$TOOL" shift audio audio_shifted 1000
python3 "$TOOL" transform audio audio_diff
python3 "$TOOL" unrecognised audio_diff audio_diff_plain
python3 "$TOOL" unrecognised lib_new lib_new_plain
cp lib_old lib_same
for words in "MODE 1" "MODE 2" "MODE 3" "MODE 4" "AUTO" "AUTO DEEP"; do
  trip "gencop $words" gencop_old gencop_new $words
  trip "drel32 $words" drel_old drel_new $words
  trip "library $words" lib_old lib_new $words
  trip "shifted $words" audio audio_shifted $words
done
trip "newfile only AUTO DEEP" audio_diff_plain audio AUTO DEEP
trip "oldfile only MODE 3" lib_old lib_new_plain MODE 3
trip "identical AUTO" lib_old lib_same AUTO
