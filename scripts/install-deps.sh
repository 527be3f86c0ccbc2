#!/usr/bin/env bash
# Installs the Debian 12 packages that a task needs, when they are missing.
# Usage: scripts/install-deps.sh build|test|bench
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config libgtkmm-3.0-dev libcairomm-1.0-dev
            libboost-thread-dev libboost-system-dev)
test_pkgs=(googletest libgtest-dev xvfb xauth dbus dbus-x11 at-spi2-core python3 python3-gi
           gir1.2-atspi-2.0 gir1.2-gtk-3.0 libatk-adaptor imagemagick x11-utils fonts-dejavu-core)
bench_pkgs=(libbenchmark-dev xvfb xauth)

case "${1:-}" in
  build) wanted=("${build_pkgs[@]}") ;;
  test) wanted=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
  bench) wanted=("${build_pkgs[@]}" "${bench_pkgs[@]}") ;;
  *) echo "usage: $0 build|test|bench" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
if ! command -v apt-get >/dev/null; then
  echo "Missing packages (${missing[*]}) and no apt-get to install them: this needs Debian 12." >&2
  exit 1
fi
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
