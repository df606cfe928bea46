# Pins the patch files the maker makes from fixed inputs, in every MODE at
# every VARY, with AUTO and AUTO DEEP, and with OPTIMAL in every MODE and
# with AUTO, new and appended: the same inputs and command line must always
# give the same patch file, byte for byte. The
# hashes were taken once and are checked on every run; each of these patch
# files is also applied here, so a pinned file is always a correct one.
python3 "$CASES/golden/make_inputs.py"
runs=()
for vary in -3 -2 -1 0 1 2; do
  for mode in 1 2 3 4; do runs+=("MODE $mode VARY $vary"); done
done
runs+=("AUTO" "AUTO DEEP" "MODE 1 OPTIMAL" "MODE 2 OPTIMAL" "MODE 3 OPTIMAL" "MODE 4 OPTIMAL" "AUTO OPTIMAL")

Vardelta random.old random.new base > /dev/null
for name in random text zeros periodic appended; do
  for run in "${runs[@]}"; do
    old=$name.old new=$name.new
    rm -f patch
    if [ $name = appended ]; then old=random.new new=random.newer; cp base patch; fi
    Vardelta $old $new patch $run > /dev/null || echo "$name $run: maker failed"
    Varmend $old patch out QUIET > /dev/null && cmp -s out $new || echo "$name $run: not applied"
    echo "$name $run $(sha256sum < patch | cut -c1-16)"
  done
done
