# MODE and VARY given with AUTO change nothing: the console output and the
# patch file are those of AUTO alone (with VARY 5 in force, no candidate
# could take the match ABCD, and MODE 2 would not win). DEEP without AUTO is
# the default MODE 3 with VARY 0: one plain data block of 9 bytes (0x88).
printf 'ABCDEFGHIJ' > old
printf 'ABCDvwxyz' > new
mkdir plain with_words deep_alone
(cd plain && Vardelta ../old ../new patch AUTO VERBOSE > log)
(cd with_words && Vardelta ../old ../new patch MODE 2 VARY 5 AUTO VERBOSE > log)
(cd deep_alone && Vardelta ../old ../new patch DEEP > log; echo "DEEP alone: exit $?")
cmp -s plain/log with_words/log && echo "same console output"
cmp -s plain/patch with_words/patch && echo "same patch file"
python3 "$CASES/auto/record.py" plain/patch old new 00000004 2 'c4 00 85 76 77 78 79 7a'
python3 "$CASES/auto/record.py" deep_alone/patch old new 00000003 1 '88 41 42 43 44 76 77 78 79 7a'
echo "pass lines with DEEP alone: $(grep -c Pass deep_alone/log)"
