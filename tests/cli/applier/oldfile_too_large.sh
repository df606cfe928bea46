# No record can be for an oldfile of 2 GiB or more (sizes are 32-bit): it is
# refused at once instead of being read whole first, with the exit code of
# "No matching patches." that scripts looping over files rely on. A patch
# file that is no patch file is still reported as such. Sparse files cost no
# disk; the bound makes a slow answer fail.
printf 'the old version' > A
printf 'the new version' > B
Vardelta A B patch > /dev/null
truncate -s 2G huge
truncate -s 5G huger
for old in huge huger; do
  for keywords in "" "RECURSIVE" "DIRECT"; do
    timeout -s KILL 2 Varmend $old patch out $keywords; echo "exit $?"
  done
done
timeout -s KILL 2 Varmend huger A out; echo "exit $?"
[ -e out ] || echo "no out"
