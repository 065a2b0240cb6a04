#!/bin/sh
# Makes the INI fixtures as a station's Windows programs and its users leave
# them: Windows-1251 text with CR LF line ends, from the UTF-8 sources
# *.utf8.txt beside this script. Run it here after editing a source.
set -e
cd "$(dirname "$0")"
for src in *.utf8.txt; do
  out=${src%.utf8.txt}.ini
  iconv -f UTF-8 -t WINDOWS-1251 "$src" | sed 's/$/\r/' > "$out"
done
