#!/usr/bin/env bash
# The main job of vesk, end to end on this machine: installs what the build
# needs, builds, and then, in a private network namespace, starts a simulated
# remote target on 127.0.0.2 (its clock 5 s ahead of the host's) and the
# service daemon vesks, and drives them with veskapp: loads the target, makes
# and starts a sync domain with the target's device, checks its coherency,
# converts a host time stamp into the target's timescale and back. Everything
# it starts ends with it. Needs root (or sudo) for the namespace.
#
# Usage: scripts/demo.sh                 install, build into build/, run
#        scripts/demo.sh --built BINDIR  run against programs already built in BINDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -eq 0 ]; then
  bash "$root/scripts/install-deps.sh"
  cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$root/build" -j "$(nproc)"
  exec bash "$0" --built "$root/build/bin"
fi

case "$1" in
  --built)
    bin=$(cd "$2" && pwd)
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
    exec $sudo bash "$root/tools/netns/runInNetns.sh" bash "$0" --in-namespace "$bin"
    ;;
  --in-namespace) bin=$2 ;;
  *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac

# From here on: inside the namespace, where only loopback exists.
host=127.0.0.2
system=/localhost/vesks/timescales/system
device=$host/veskwebs/syncableDevices/pendulo/timekeeper/genericTk
domain=/demo/syncDomains/first

work=$(mktemp -d)
pids=()
cleanUp() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanUp EXIT

# The Pendulo manager's stand-in: the host clock is not synchronised, so the
# correlator is a linear one that samples both clocks.
echo '{"qlmAttributes":{"isHostTimeSynchronized":false}}' >"$work/qzqlm.json"
export QZQLM_STATE_FILE=$work/qzqlm.json

waitFor() {  # waitFor WHAT COMMAND...: retries for 10 s
  local what=$1; shift
  for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  echo "demo: $what did not come up" >&2
  exit 1
}

cat >"$work/target.json" <<'EOF'
{"devices": [{"uri": "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"}],
 "timescales": ["/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01"],
 "timestampDaemon": {"offsetNs": 5000000000}}
EOF
"$bin/vesktargetsim" --config "$work/target.json" --address "$host" --quiet &
pids+=($!)
waitFor "the simulated target" bash -c "exec 3<>/dev/tcp/$host/80"
"$bin/vesks" &
vesks=$!
pids+=($vesks)
waitFor "vesks" "$bin/veskapp" list timescales

app() { "$bin/veskapp" "$@"; }
# Seconds.nanos[fraction] as printed by veskapp -> "--s S --ns N --fns F".
stampOptions() {
  local seconds=${1%%.*} rest=${1#*.}
  local fraction=${rest:9}
  echo "--s $seconds --ns $((10#${rest:0:9})) --fns ${fraction:-0}"
}

app loadResources --remoteHost "$host" -q
timescale=$(app getCurrentTimescale --remoteHost "$host")
echo "Loaded target $host: device $device, timescale $timescale"

app syncDomain create --uri "$domain" --timescaleUri "$timescale" --maxOffset_ns 1000 --minSyncDuration_ms 0 -q
app syncDomain addSyncableDevice --uri "$domain" --syncableDeviceUri "$device" -q
app syncDomain start --uri "$domain" --timeout_s 10 -q
coherent=$(app syncDomain isCoherent --uri "$domain")
echo "Sync domain $domain started with the target's device; coherent: $coherent"
[ "$coherent" = true ] || { echo "demo: the sync domain is not coherent" >&2; exit 1; }

app timestampCorrelator create --timescaleUri1 "$system" --timescaleUri2 "$timescale" \
  --samplingInterval 100 --historyLength 20 -q
sleep 1  # a few samples of both clocks
onHost=$(app timescale getTime --timescaleUri "$system" -q)
onHost=${onHost#Time in seconds : }
onTarget=$(app timestampCorrelator correlate --srcTimescaleUri "$system" --dstTimescaleUri "$timescale" \
  $(stampOptions "$onHost") -q)
onTarget=${onTarget#Correlated time in seconds: }
back=$(app timestampCorrelator correlate --srcTimescaleUri "$timescale" --dstTimescaleUri "$system" \
  $(stampOptions "$onTarget") -q)
back=${back#Correlated time in seconds: }
echo "Host time $onHost s is $onTarget s on the target (5 s ahead), and back on the host: $back s"

app timestampCorrelator delete --timescaleUri1 "$system" --timescaleUri2 "$timescale" -q
app syncDomain stop --uri "$domain" -q
app syncDomain delete --uri "$domain" -q
app unloadResources --remoteHost "$host" -q
echo "Stopped and deleted the sync domain and the correlator, unloaded the target."

# vesks ends by the signal that stops it (128 + 15), after the server stopped.
kill -TERM "$vesks"
status=0
wait "$vesks" || status=$?
[ "$status" -eq 143 ] || { echo "demo: vesks ended with status $status, not by SIGTERM" >&2; exit 1; }
echo "vesks stopped on SIGTERM; the target stops with the demo."
