# RECURSIVE over A->B, B->C and the identity record C->C, started from A, B
# and C; then the same chain without the identity record, where the chain
# ends when no record matches. Without RECURSIVE only one record is applied.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null && Vardelta B C patch > /dev/null && cp patch chain
Vardelta C C patch > /dev/null
for start in A B C; do
  echo "from $start:"
  Varmend $start patch out$start RECURSIVE; echo "exit $?"; cmp out$start C && echo "gives C"
done
echo "no identity record, from A:"
Varmend A chain outA2 RECURSIVE; echo "exit $?"; cmp outA2 C && echo "gives C"
echo "no identity record, from B:"
Varmend B chain outB2 RECURSIVE; echo "exit $?"; cmp outB2 C && echo "gives C"
echo "NOVERSION:"
Varmend A chain outA3 RECURSIVE NOVERSION; echo "exit $?"; cmp outA3 C && echo "gives C"
echo "QUIET:"
Varmend A chain outA4 RECURSIVE QUIET; echo "exit $?"; cmp outA4 C && echo "gives C"
echo "one pass only:"
Varmend A chain outA5; echo "exit $?"; cmp outA5 B && echo "gives B"
