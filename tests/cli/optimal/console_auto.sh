# AUTO OPTIMAL codes the four MODEs with the exact-price encoder at VARY 0
# only, also with DEEP (one reloc combination for plain files: 4 passes).
# The files of console_fixed_mode.sh; the best stream of each MODE:
#   MODE 1: 8A 00, 01 58, 83 01, 01 59, 99 01 (or the data XbcdY): 10 bytes
#   MODE 2: 8A 40 00, 05 58 62 63 64 59, 99 40 05: 12 bytes
#   MODE 3: C9 00, 40 58, C2, 40 59, D8: 8 bytes
#   MODE 4: CA 00, 41 58, C3, 41 59, D9: 8 bytes
# so patchsizes 30, 32, 28, 28, and MODE 3 is kept (the earlier of a tie).
printf '0123456789abcdefghijklmnopqrstuvwxyzABCD' > old
printf '0123456789XbcdYfghijklmnopqrstuvwxyzABCD' > new
for words in "AUTO OPTIMAL VERBOSE" "optimal AUTO DEEP VERBOSE VARY 1"; do
  name=p$(printf '%s' "$words" | tr -d ' ' | tr 'A-Z' 'a-z')
  Vardelta old new "$name" $words
  echo "exit $?"
  python3 "$CASES/auto/record.py" "$name" old new 00000003 5 'c9 00 40 58 c2 40 59 d8'
done
