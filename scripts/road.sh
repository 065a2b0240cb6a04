#!/usr/bin/env bash
# The station's whole road on the simulated rig, with the programs of a
# build (scripts/run.sh builds them and calls this):
#
#   scripts/road.sh BUILD_DIR RUN_DIR [--short] [--window] [SECONDS]
#
#   1 recording   the device simulator plays the acquisition unit and the
#                 driller's console on a pseudo-terminal; the station host
#                 records a trip from it with the plug-ins cement.so and
#                 pult.so loaded (the console gets its display packets)
#   2 chart, LAS  trip_export draws the trip's log chart to a PNG and writes
#                 the trip as a LAS 2.0 file (the libraries' chart and LAS
#                 writer)
#   3 package     Vargel2 packs the trip's real-time files with 7za (command-line mode)
#   4 cementing   the simulated cementing-control station and a three-element
#                 stage programme run by cement.so in the station host
#   5 report      the stage's spreadsheet report through a headless office
#   then road_summary reads every output back and prints what each holds.
#
# It ends with status 1 naming each step that failed, one line each; a
# failed recording stops the road (the chart and the package need its
# trip), and a step's outputs of an earlier run stay in place until the
# step succeeds. --short runs each step
# for a few seconds (the test of the road); --window shows the recording and
# the cementing job in the station's main window on the desktop. SECONDS
# (or STATION_RUN_SECONDS) is the recording's length, 60 by default; the
# well folder is RUN_DIR/well unless STATION_WELL names another.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/road_steps.sh"

usage="usage: road.sh BUILD_DIR RUN_DIR [--short] [--window] [SECONDS]"
for a in "$@"; do
  case "$a" in -h|--help) echo "$usage"; exit 0 ;; esac
done
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
root=$2
shift 2
short=0
window=0
seconds=${STATION_RUN_SECONDS:-60}
for a in "$@"; do
  case "$a" in
    --short) short=1 ;;
    --window) window=1 ;;
    ''|*[!0-9]*) echo "road.sh: unknown argument '$a' (--short, --window or SECONDS)" >&2; exit 2 ;;
    *) seconds=$a ;;
  esac
done
[ "${STATION_WINDOW:-}" = 1 ] && window=1
# Twelve seconds: enough for depth and lag records even when a loaded
# machine's host reads the unit at half its pace.
[ "$short" = 1 ] && seconds=12
bin=$build/bin
mkdir -p "$root" || exit 1
root=$(cd "$root" && pwd)
well=${STATION_WELL:-$root/well}
# The office keeps its profile between runs: its first start is the slow one.
office_profile=${STATION_OFFICE_PROFILE:-$root/office-profile}
mkdir -p "$well" || exit 1
work=$(mktemp -d)
trap road_cleanup EXIT
trap 'interrupted=1' INT TERM

road_record
check_interrupt
if [ "$recorded" = 1 ]; then
  road_export
  road_pack
  check_interrupt
  road_cement
  check_interrupt
  road_report
else
  road_stopped "1 recording" "2 chart" "3 package" "4 cementing" "5 report"
fi
road_summary_step
