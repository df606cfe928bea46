# kill -9 during an append in place to a patch file in a folder the run cannot
# write, so that its journal lies in the temporary folder (see
# crash_in_place.py). As root the runs drop the privileges that override file
# permissions.
. "$CASES/hardening/unprivileged.bash"
python3 "$CASES/hardening/crash_in_place.py" unwritable-folder 30
