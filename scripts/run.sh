#!/usr/bin/env bash
# The station's main job on a fresh machine: install, build, then record a
# simulated drilling session from a device to files, and read them back.
#
#   scripts/run.sh [SECONDS]     (or STATION_RUN_SECONDS; 60 by default)
#
# The device simulator plays the acquisition unit on a pseudo-terminal; the
# station host records a trip from it into the well folder (build/run/well,
# or STATION_WELL), a new trip each run, the depth going on from the last.
# With STATION_WINDOW=1 the host shows its main window on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${STATION_RUN_SECONDS:-60}}
case "$seconds" in
  ''|*[!0-9]*) echo "run.sh: the duration is a whole number of seconds, not '$seconds'" >&2; exit 2 ;;
esac
scripts/setup.sh
scripts/build.sh normal
bin=build/normal/bin
"$bin/station_info"

well=${STATION_WELL:-build/run/well}
mkdir -p "$well"
trip=1
while [ -e "$well/$(printf '%04d' "$trip").realtim" ]; do trip=$((trip + 1)); done
depth=()
[ -e "$well/station.ini" ] || depth=(--depth 1500)   # the simulated well's depth

log=$(mktemp)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT
sim_seconds=$((seconds + 30))
[ "$seconds" -gt 0 ] || sim_seconds=86400   # 0: the host records until Ctrl-C
# Up to a couple of minutes the unit plays the scripted session (a stand
# drilled down with a gas show); longer runs and runs until Ctrl-C get the
# generated rig (drilling, connections, circulation).
scenario=(--seed 1)
if [ "$seconds" -gt 0 ] && [ "$seconds" -le 120 ]; then scenario=(--scenario tools/station_host/session.scenario); fi
"$bin/device_simulator" --device console --pty --seconds "$sim_seconds" "${scenario[@]}" >"$log" 2>&1 &
sim_pid=$!
line=
for _ in $(seq 50); do
  line=$(sed -n 's/^line: //p' "$log" | head -n 1)
  [ -n "$line" ] && break
  sleep 0.1
done
if [ -z "$line" ]; then
  echo "run.sh: the device simulator did not start:" >&2
  cat "$log" >&2
  exit 1
fi

window=()
if [ "${STATION_WINDOW:-}" = 1 ]; then window=(--window); fi
echo "== recording trip $trip for $seconds s from the simulated unit on $line"
"$bin/station_host" --port "$line" --well "$well" --trip "$trip" --seconds "$seconds" "${depth[@]}" "${window[@]}"
echo "== the files of trip $trip in $well"
"$bin/station_files" --well "$well" --trip "$trip"
