#!/usr/bin/env bash
# Installs the Debian packages the station builds and tests with. Idempotent:
# nothing is fetched when everything is already there.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libboost-dev zlib1g-dev libcairo2-dev
      libpango1.0-dev fonts-dejavu-core p7zip-full libgtest-dev libgmock-dev
      libbenchmark-dev python3 fp-compiler clang libclang-rt-14-dev
      libreoffice-calc-nogui libreoffice-dev python3-xlrd xdg-utils)
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
