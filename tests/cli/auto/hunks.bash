# Helpers for the cases on AmigaOS hunk executables; sourced, not a case.

# The executables live in shared/data/hunk beside the project folder. A case
# that needs them is skipped (exit 77, the reason on the first line) when they
# are missing.
HUNKS=$CASES/../../../shared/data/hunk
if [ ! -f "$HUNKS/PAIRS.tsv" ]; then
  echo "hunk executables not found (expected in shared/data/hunk beside the project)"
  exit 77
fi
TOOL=$CASES/auto/hunktool.py

# The last listing row of a maker run's output (the row of the new record).
last_row() { grep -a '^ *[0-9]* | [0-9a-f]\{8\} | [0-9a-f]\{8\} |' "$1" | tail -n 1; }

# The reloc and type columns of that row, e.g. "2 2 3".
row_reloc_type() { last_row "$1" | awk -F'|' '{ split($4, r, " "); print r[1], r[2], $5 + 0 }'; }

# The patchsize column of that row.
row_patchsize() { last_row "$1" | awk -F'|' '{ print $6 + 0 }'; }

# Does the row carry the CRC-32s of the two files on disk? Takes the log and
# the two files; crc_pair (below) caches their CRCs in CRC_PAIR.
row_crcs_on_disk() {
  local crcs
  crcs=$(last_row "$1" | awk -F'|' '{ gsub(/ /, ""); print $2, $3 }')
  if [ "$crcs" = "$CRC_PAIR" ]; then
    echo "CRCs of the files on disk"
  else
    echo "CRCs $crcs are not those of $2 and $3 ($CRC_PAIR)"
  fi
}
crc_pair() { CRC_PAIR="$(python3 "$TOOL" crc "$1") $(python3 "$TOOL" crc "$2")"; }

# The type word of the first record of a patch file, in hexadecimal.
type_word() { od -An -tx1 -j 28 -N 4 "$1" | tr -d ' '; }

# The pass lines of a maker run's output, in order, one a line.
pass_lines() { grep -ao 'Pass *[0-9]* of *[0-9]*' "$1"; }

# The candidate sizes that VERBOSE wrote onto the pass lines, one a line.
candidate_sizes() { grep -ao $'\e\\[14C *[0-9]*' "$1" | sed $'s/\e\\[14C *//'; }

# The "Best result" line without its escape sequence.
best_line() { grep -ao 'Best result with .*' "$1"; }

# How many "Sorting" lines the run printed.
sortings() { grep -ao 'Sorting [^.]*[.][.][.]' "$1" | wc -l; }
