# kill -9 during an append in place to a patch file in a folder the run cannot
# write, so that its journal lies in the temporary folder (see
# crash_in_place.py). As root the runs drop the privileges that override file
# permissions.
unprivileged() {
  if [ "$(id -u)" = 0 ]; then setpriv --inh-caps=-all --bounding-set=-all -- "$@"; else "$@"; fi
}
mkdir probe && chmod 0555 probe
if unprivileged touch probe/x 2>/dev/null || ! unprivileged true 2>/dev/null; then
  echo "cannot run without the privileges that override file permissions here"
  exit 77
fi
rmdir probe
python3 "$CASES/hardening/crash_in_place.py" unwritable-folder 16
