#!/usr/bin/env bash
# The station's main job on a fresh machine: install, build, run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh normal
build/normal/bin/station_info
