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
# STATION_WELL). Exit status 1 names each step that failed, a line each; a
# failed recording stops the job, and a step's outputs of an earlier run
# stay in place until the step succeeds. Status 2: a bad argument.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/run.sh [--window] [--short] [SECONDS]

Installs what the station needs, builds it and runs the main job on the
simulated rig into build/run: a recorded trip, its chart and LAS file, its
package, a cementing stage and its report, and a summary of every output.

  --window   show the recording and the cementing job on the desktop
             (or STATION_WINDOW=1)
  --short    run every step for a few seconds
  SECONDS    the recording's length (or STATION_RUN_SECONDS; 60 by default)

Exit status: 0 every step done and read back; 1 a step failed (each named);
2 a bad argument."
for a in "$@"; do
  case "$a" in
    -h|--help) echo "$usage"; exit 0 ;;
    --window|--short) ;;
    ''|*[!0-9]*) echo "run.sh: unknown argument '$a': [--window] [--short] [SECONDS] (--help tells more)" >&2; exit 2 ;;
  esac
done
scripts/setup.sh
scripts/build.sh normal
build/normal/bin/station_info
exec scripts/road.sh build/normal build/run "$@"
