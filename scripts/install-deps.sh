#!/usr/bin/env bash
# Installs what building, testing and the demo need (Debian 12, as root).
# Idempotent: asks apt only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev binutils
  qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev
  xvfb xauth fonts-dejavu-core
  ola libola-dev pkg-config
  # TrailBeam.dll: cross compilers, widl, Wine (64-bit and, from i386, 32-bit);
  # fonts-wine carries marlett.ttf, the caption buttons' symbol font that
  # scripts/win32-screenshots.sh copies into its prefix
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine64-tools libwine-dev fonts-wine wine32:i386 imagemagick
  # the interactive host's pictures, clicked through (scripts/host-feedback-screenshots.sh)
  xdotool
  # The Debian package (cpack, dpkg-shlibdeps, lintian) and the Windows installers
  dpkg-dev lintian nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# An olad service the machine already knows: the ola package's init script
# (also left behind by a package removed without purging) or a unit of its own.
olad_service_known() {
  [ -e /etc/init.d/olad ] && return 0
  local dir
  for dir in /etc/systemd/system /run/systemd/system /lib/systemd/system /usr/lib/systemd/system; do
    [ -e "$dir/olad.service" ] && return 0
  done
  return 1
}

# Lines of a held-back install that say only that: invoke-rc.d finds no
# runlevel in a container, the policy below denies the start it was meant to
# deny, and adduser notes that the olad user's home folder does not exist
# (the package creates the user without one). Package scripts write through
# a terminal, so their lines end in CR LF.
drop_expected_noise() {
  sed -u -e '/^invoke-rc\.d: could not determine current runlevel\r\?$/d' \
    -e '/^invoke-rc\.d: policy-rc\.d denied execution of \(start\|restart\)\.\r\?$/d' \
    -e "/^\(adduser: \)\?Warning: The home dir \/usr\/lib\/olad you specified can't be accessed: /d"
}

# The package also starts olad at every boot, with its own configuration in
# which the network plug-ins send. An olad this script brought stays off
# until the operator enables it (README.md, "Real DMX"). Stop links instead
# of start links disable it without systemd as well as with it, which makes
# olad.service from the same links (update-rc.d reloads a running systemd).
# Its step for native units is skipped, as systemctl itself skips it: there
# is no such unit, and it would only say so.
keep_olad_off() {
  if [ -x /usr/sbin/update-rc.d ]; then
    $sudo env _SKIP_SYSTEMD_NATIVE=1 /usr/sbin/update-rc.d olad disable
  elif [ -d /run/systemd/system ]; then
    $sudo systemctl disable olad
  fi
  # Only a policy that let the package start it leaves one running.
  if $sudo /etc/init.d/olad status >/dev/null 2>&1; then
    $sudo /etc/init.d/olad stop
  fi
  if compgen -G "/etc/rc[2345].d/S??olad" >/dev/null; then
    echo "warning: olad may still start at boot; disable it with: update-rc.d olad disable" >&2
  else
    echo "olad is installed, stopped and disabled at boot (README.md, \"Real DMX\", tells how to start it)."
  fi
}

fresh_olad=false
if [[ " ${missing[*]} " == *" ola "* ]] && ! olad_service_known; then
  fresh_olad=true
fi

# Also after an install that failed half-way: a configured ola would else
# count as installed on the next run and keep starting at boot. The policy
# goes last, so nothing starts in between.
policy=/usr/sbin/policy-rc.d
made_policy=false
finish() {
  local status=$?
  set +e
  if $fresh_olad && [ -e /etc/init.d/olad ]; then
    keep_olad_off
  fi
  if $made_policy; then
    $sudo rm -f "$policy"
  fi
  exit "$status"
}
trap finish EXIT

echo "Installing: ${missing[*]}"
# No service starts during the install (the tests start their own olad,
# network-free); an operator starts olad deliberately.
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  made_policy=true
fi
# 32-bit Wine comes from the i386 architecture.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}" \
  2>&1 | drop_expected_noise
