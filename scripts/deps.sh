#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, only those missing.
# Usage: scripts/deps.sh [build|run|test]...
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config qtbase5-dev qtbase5-dev-tools
            libusb-1.0-0-dev libfreeimage-dev)
run_pkgs=(xvfb xauth fonts-wqy-microhei)
test_pkgs=(libumockdev-dev umockdev xvfb xauth fonts-wqy-microhei clang libclang-rt-14-dev
           libx11-dev desktop-file-utils appstream lintian dpkg-dev file)

want=()
for kind in "${@:-build}"; do
  case "$kind" in
    build) want+=("${build_pkgs[@]}") ;;
    run)   want+=("${build_pkgs[@]}" "${run_pkgs[@]}") ;;
    test)  want+=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
    *) echo "deps.sh: unknown set '$kind'" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${want[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
