#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# As root (or with sudo) it runs apt-get; otherwise it prints the exact line and fails.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libgl-dev libgtest-dev libgmock-dev libcli11-dev xvfb xauth media-types python3 clang-format clang libclang-rt-dev poppler-utils)
[ "${ZARNS_EXTRA_PKGS:-}" ] && pkgs+=(${ZARNS_EXTRA_PKGS})
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then SUDO=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then SUDO="sudo"
else
  echo "Zarns needs these Debian packages: ${missing[*]}" >&2
  echo "Install them with:  sudo apt-get update && sudo $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO $line
