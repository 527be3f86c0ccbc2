#!/usr/bin/env bash
# Builds and runs every test: the unit, GUI and end-to-end tests, then the
# unit tests under AddressSanitizer with UndefinedBehaviorSanitizer, and the
# store's tests under ThreadSanitizer. GUI tests run under a private Xvfb and
# D-Bus session. Exits non-zero if any run fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
jobs=$(nproc)

configure_and_build() {  # dir sanitizer [targets...]
  local dir=$1 sanitize=$2
  shift 2
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLIX_SANITIZE="$sanitize" >/dev/null
  if [[ $# -gt 0 ]]; then
    cmake --build "$dir" -j"$jobs" --target "$@"
  else
    cmake --build "$dir" -j"$jobs"
  fi
}

# A private X server and session bus, so tests never touch the user's desktop
# and the accessibility bus of the end-to-end tests is our own.
in_display() {
  dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
}

status=0
run() {  # label command...
  echo "==== $1"
  shift
  "$@" || status=1
}

configure_and_build "$root/build/test" ""
run "All tests" in_display ctest --test-dir "$root/build/test" --output-on-failure -j2

configure_and_build "$root/build/asan" address
run "Unit and GUI tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
  in_display env \
    ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:halt_on_error=1:detect_stack_use_after_return=1" \
    LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir "$root/build/asan" -L unit --output-on-failure -j2

configure_and_build "$root/build/tsan" thread test_store
# ThreadSanitizer needs the fixed memory layout that disabling address-space
# randomisation gives on current kernels.
run "Store tests under ThreadSanitizer" \
  env TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  setarch "$(uname -m)" -R ctest --test-dir "$root/build/tsan" -R '^test_store\.' --output-on-failure

echo "==== $([[ $status -eq 0 ]] && echo "All runs passed" || echo "Some runs FAILED")"
exit $status
