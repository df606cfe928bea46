# Ten records V0->V1 ... V9->V10: ten passes with their numbers, then the
# eleventh finds nothing, and the version text moves to column 19.
python3 - <<'PY'
for i in range(11):
    with open("V%d" % i, "wb") as f:
        f.write(b"$VER: v%d\0" % i + bytes(range(256)) * 4 + b"version %d" % i)
PY
for i in 0 1 2 3 4 5 6 7 8 9; do Vardelta V$i V$((i + 1)) patch MODE 2 > /dev/null; done
Varmend V0 patch out RECURSIVE; echo "exit $?"; cmp out V10 && echo "gives V10"
