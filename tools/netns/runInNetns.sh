#!/usr/bin/env bash
# Runs a test program inside private network and PID namespaces. Only the
# loopback interface exists there (brought up here), so the program may bind
# any 127.x.y.z address without touching the host's network; and when the
# program ends, for whatever reason, every process it started ends with it.
# /proc is mounted anew to match the PID namespace (the sanitizers read it).
# Usage: runInNetns.sh PROGRAM [ARGS...]   (needs root, as CI and our machines run)
set -euo pipefail

if [ "${VESK_IN_NETNS:-}" != 1 ]; then
  if ! unshare --net --pid --fork --kill-child --mount-proc true 2>/dev/null; then
    echo "runInNetns: cannot make network and PID namespaces (unshare needs root)" >&2
    exit 1
  fi
  exec unshare --net --pid --fork --kill-child --mount-proc env VESK_IN_NETNS=1 bash "$0" "$@"
fi

ip link set lo up
exec "$@"
