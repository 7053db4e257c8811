#!/usr/bin/env bash
# Installs what building, testing and the demo need (Debian 12, as root).
# Idempotent: asks apt only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev binutils
  qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev
  xvfb xauth fonts-dejavu-core
  ola libola-dev pkg-config
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  # The ola package starts a system-wide olad on install, with the network
  # plug-ins on and sending. Nothing here needs it (the tests start their own,
  # network-free); an operator starts it deliberately.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    trap '$sudo rm -f "$policy"' EXIT
  fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
