# A chain of 5,000 small records, applied in one RECURSIVE run: each pass
# costs what its own record costs, not what the whole file does, so the run
# ends well within the bound (which a pass that reads the whole file again
# cannot meet).
PYTHONPATH="$CASES/applier" python3 - <<'PY2'
from patchkit import *
versions = [b"%08d" % i for i in range(5001)]
write("V0", versions[0])
write("V5000", versions[5000])
# MODE 1, one data block of 8 bytes: the whole next version.
write("chain", patch_file([record(versions[i], versions[i + 1], 1, bytes([8]) + versions[i + 1], 1)
                           for i in range(5000)]))
PY2
timeout -s KILL 20 Varmend V0 chain out RECURSIVE QUIET; echo "exit $?"
cmp out V5000 && echo "gives V5000"
