# The round trip of the AUTO group's cases; sourced by them, not a case itself.

# Makes a record of the pair with the maker words given and rebuilds the
# newfile from it with the applier, printing both exit codes and whether
# the output is the newfile byte for byte.
trip() {  # label old new maker-words...
  local label=$1 old=$2 new=$3
  shift 3
  rm -f patch out
  Vardelta "$old" "$new" patch "$@" > /dev/null
  echo "$label: maker exit $?"
  Varmend "$old" patch out QUIET
  echo "$label: applier exit $?"
  if [ ! -f out ]; then echo "$label: no output file"
  elif cmp -s out "$new"; then echo "$label: newfile rebuilt"
  else echo "$label: output differs from the newfile"
  fi
}
