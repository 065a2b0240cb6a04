#!/usr/bin/env bash
# Installs the Debian packages the station builds and tests with. Idempotent:
# nothing is fetched when everything is already there. Packages named as
# arguments are installed as well (scripts/setup-vectors.sh uses that); the
# tools that only regenerate committed test vectors are not needed here.
# The office is the one with windows (libreoffice-calc, its X11 front end
# coming with libreoffice-core), not the headless-only -nogui one: the
# report program shows the finished report in a Calc window, in Russian
# (libreoffice-l10n-ru, its interface's language pack).
set -euo pipefail
pkgs=(build-essential cmake pkg-config libboost-dev zlib1g-dev libcairo2-dev
      libpango1.0-dev fonts-dejavu-core p7zip-full libgtest-dev libgmock-dev
      libbenchmark-dev python3 clang libclang-rt-14-dev
      libgtk-3-dev xvfb xdotool x11-xkb-utils x11-apps x11-utils xauth openbox
      libreoffice-calc libreoffice-l10n-ru libreoffice-dev python3-xlrd poppler-utils xdg-utils)
pkgs+=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
