#!/usr/bin/env bash
# Regenerates the reference vectors of the rtl number and date tests:
# Free Pascal (fpc -Mdelphi) for number and date-time texts, Python's exact
# decimals for the rounding rule (numbers_python.py reads numbers_fpc.tsv, so
# it runs after it), Python's datetime for day counts and TDateTime serials.
# Where Free Pascal and the stations differ, numbers_settled.tsv and
# datetime_settled.tsv say what rtl writes instead and why. Free Pascal is
# installed by scripts/setup-vectors.sh (building and testing never need it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for prog in numbers_fpc datetime_fpc; do
  fpc -Mdelphi -O1 -FE"$work" "$here/$prog.pas" >/dev/null
  "$work/$prog" >"$here/$prog.tsv"
done
python3 "$here/datetime_python.py" >"$here/datetime_python.tsv"
python3 "$here/numbers_python.py" >"$here/numbers_python.tsv"
wc -l "$here"/*.tsv
