#!/usr/bin/env bash
# The station's main job on a fresh machine: install, build, then the whole
# road on the simulated rig (scripts/road.sh): a recorded trip with the
# plug-ins loaded, its chart and LAS file, its package, a cementing job and
# its spreadsheet report, and a summary that reads every output back.
#
#   scripts/run.sh [--window] [--short] [SECONDS]
#
# SECONDS (or STATION_RUN_SECONDS; 60 by default) is the recording's length;
# --short runs every step for a few seconds; --window (or STATION_WINDOW=1)
# shows the recording and the cementing job in the station's main window on
# the desktop. Outputs go to build/run (the well folder build/run/well, or
# STATION_WELL). Exit status 1 names the step that failed.
set -euo pipefail
cd "$(dirname "$0")/.."
for a in "$@"; do
  case "$a" in
    --window|--short) ;;
    ''|*[!0-9]*) echo "run.sh: unknown argument '$a': [--window] [--short] [SECONDS]" >&2; exit 2 ;;
  esac
done
scripts/setup.sh
scripts/build.sh normal
build/normal/bin/station_info
exec scripts/road.sh build/normal build/run "$@"
