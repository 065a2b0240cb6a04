#!/bin/sh
# Makes the coded copies of the Russian sample with iconv, an independent
# converter: Windows-1251 and DOS code page 866, with CR LF line ends.
set -eu
cd "$(dirname "$0")"
sed 's/$/\r/' russian.utf8.txt | iconv -f UTF-8 -t CP1251 > russian.cp1251.txt
sed 's/$/\r/' russian.utf8.txt | iconv -f UTF-8 -t CP866 > russian.cp866.txt
