# kill -9 during an append in place to a patch file with a second hard link
# (see crash_in_place.py).
python3 "$CASES/hardening/crash_in_place.py" hard-link 30
