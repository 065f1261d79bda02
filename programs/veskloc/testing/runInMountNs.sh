#!/usr/bin/env bash
# Runs a test program inside a private mount namespace in which /etc, /dev and
# /tmp are writable overlays over the machine's own, their upper layers on a
# tmpfs that only this namespace sees. The program may write
# /etc/corvant/share/share.dir and bind its own socket at /dev/log; nothing of
# the machine's /etc, /dev or /tmp changes, and every mount ends with it.
# Usage: runInMountNs.sh PROGRAM [ARGS...]   (needs root)
set -euo pipefail

# The program compares its own namespace with the one it was started from.
if [ -z "${VESK_OUTER_MOUNTNS:-}" ]; then
  if ! unshare --mount --propagation private true 2>/dev/null; then
    echo "runInMountNs: cannot make a mount namespace (unshare needs root)" >&2
    exit 1
  fi
  outer=$(readlink /proc/self/ns/mnt)
  exec unshare --mount --propagation private env VESK_OUTER_MOUNTNS="$outer" bash "$0" "$@"
fi

# /tmp becomes an overlay as well, so what lies under it (a build tree, say)
# stays in sight; the machine's /tmp is reached through a descriptor opened
# before the tmpfs covers it.
exec 3</tmp
mount -t tmpfs -o mode=1777 vesk-scratch /tmp
exec 4</tmp
for dir in etc dev tmp; do
  mkdir -p /tmp/.overlay-$dir/upper /tmp/.overlay-$dir/work
done
overlay() {  # overlay LOWER LAYERS MOUNTPOINT
  mount -t overlay overlay -o "lowerdir=$1,upperdir=$2/upper,workdir=$2/work" "$3"
}
overlay /etc /tmp/.overlay-etc /etc
overlay /dev /tmp/.overlay-dev /dev
overlay /proc/self/fd/3 /proc/self/fd/4/.overlay-tmp /tmp
exec 3<&- 4<&-
exec "$@"
