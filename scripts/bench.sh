#!/usr/bin/env bash
# Builds the benchmarks in Release (build/bench) and runs them: the report
# store, the canvas's redraw on an image surface and in a window, and the
# program's memory. Prints a markdown table in which every figure is set
# against a floor measured in the same run. Extra arguments go to the Google
# Benchmark programs (for instance --benchmark_repetitions=3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" bench

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELLIX_BUILD_BENCH=ON \
      -DVELLIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

table=$(mktemp)
trap 'rm -f "$table"' EXIT

# Each display-bound run gets a private X server; no accessibility bus is
# needed, so GTK is told not to look for one.
in_display() {
  NO_AT_BRIDGE=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
}

bin="$build/bench"
"$bin/bench_store" --table_out="$table" "$@"
in_display "$bin/bench_redraw" --table_out="$table" "$@"
in_display "$bin/bench_window" --table_out="$table" "$@"
in_display "$bin/rss_probe" --table_out="$table" "$build/src/vellixtest" "$bin/empty_window"

echo
echo "Benchmarks of $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg):"
echo
echo "| Figure | Measured | Floor (same run) | Ratio | Target |"
echo "|---|---|---|---|---|"
cat "$table"
