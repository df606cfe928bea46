# Sourced by the cases about write protection, which does not stop root:
# `unprivileged` runs a command without the privileges that override file
# permissions (as root: with every capability dropped). Where that cannot be
# had, the case is skipped.
unprivileged() {
  if [ "$(id -u)" = 0 ]; then setpriv --inh-caps=-all --bounding-set=-all -- "$@"; else "$@"; fi
}
mkdir probe && chmod 0555 probe
if unprivileged touch probe/x 2>/dev/null || ! unprivileged true 2>/dev/null; then
  echo "cannot run without the privileges that override file permissions here"
  exit 77
fi
rmdir probe
