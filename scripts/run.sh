#!/usr/bin/env bash
# Builds the program with our pad library and starts it. Arguments go to GTK.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" build

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELLIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display: run this from a desktop session, or set DISPLAY." >&2
  exit 1
fi
exec "$build/src/vellixtest" "$@"
