# RECURSIVE over A->B and B->A: the third pass would apply A->B again. The
# run stops, and the output keeps the result of the second pass, A.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null && Vardelta B A patch > /dev/null
Varmend A patch out RECURSIVE; echo "exit $?"; cmp out A && echo "out holds A"
