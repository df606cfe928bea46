# DIRECT through a fresh temporary file, through a named intermediate file,
# with BACKUP, with QUIET, and at the end of a RECURSIVE chain. The runner
# checks that no temporary file is left behind.
python3 "$CASES/applier/versions.py"
Vardelta A B patch > /dev/null && Vardelta B C patch > /dev/null
cp A a1
Varmend a1 patch DIRECT; echo "DIRECT exit $?"; cmp a1 B && echo "a1 holds B"
cp A a2
Varmend a2 patch inter DIRECT NOVERSION; echo "DIRECT inter exit $?"; cmp a2 B && [ ! -e inter ] && echo "a2 holds B, inter gone"
cp A a3
printf 'old backup' > bak
Varmend a3 patch DIRECT BACKUP bak; echo "BACKUP exit $?"; cmp a3 B && cmp bak A && echo "a3 holds B, bak holds A"
cp A a4
Varmend a4 patch DIRECT QUIET; echo "QUIET exit $?"; cmp a4 B && echo "a4 holds B"
cp A a5
Varmend a5 patch DIRECT BACKUP bak5 QUIET; echo "QUIET BACKUP exit $?"; cmp a5 B && cmp bak5 A && echo "a5 holds B, bak5 holds A"
cp A a6
Varmend a6 patch DIRECT RECURSIVE BACKUP bak6 NOVERSION; echo "RECURSIVE exit $?"; cmp a6 C && cmp bak6 A && echo "a6 holds C, bak6 holds A"
# A failed patch never replaces the oldfile.
cp C c1
Varmend c1 patch DIRECT; echo "no match exit $?"; cmp c1 C && echo "c1 unchanged"
