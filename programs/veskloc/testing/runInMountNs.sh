#!/usr/bin/env bash
# Runs a test program inside a private mount namespace in which /etc and /dev
# are writable overlays over the machine's own, their upper layers on a tmpfs
# mounted at /tmp that only this namespace sees. The program may write
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

mount -t tmpfs -o mode=1777 vesk-scratch /tmp
for dir in etc dev; do
  layers=/tmp/.overlay-$dir
  mkdir -p $layers/upper $layers/work
  mount -t overlay overlay -o lowerdir=/$dir,upperdir=$layers/upper,workdir=$layers/work /$dir
done
exec "$@"
