#!/usr/bin/env bash
# The whole test suite on programs built with address and undefined-behaviour
# checks: every program of the tree (crv, crv_serial, crv_x86, the tools and
# the unit tests) is compiled with -fsanitize=address,undefined into its own
# build directory, then every test runs there. The sanitizers write their
# reports into files (ASAN_OPTIONS log_path), so a report from a process whose
# test does not look at its standard error still counts; any report fails.
# Slow (a full build and the suite at sanitizer speed): not part of CI.
#
# Usage: tools/sanitize.sh [ctest arguments, e.g. -R uci_xboard]
# Environment: SANITIZE_BUILD_DIR (default build-sanitize), JOBS (default 4).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
build_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
jobs=${JOBS:-4}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
# The 32-bit program joins when this kernel runs it natively: sanitized and
# under the user-mode emulator it is too slow for the tests' time-outs.
x86=ON
probe=$(mktemp -d)
echo 'int main(void) { return 0; }' > "$probe/probe.c"
if ! gcc -m32 "$probe/probe.c" -o "$probe/probe" 2> /dev/null || ! "$probe/probe" 2> /dev/null; then
  x86=OFF
  echo "sanitize: crv_x86 left out (32-bit programs do not run natively here)"
fi
rm -rf "$probe"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1" -DCORVATINE_X86=$x86 \
  -DCORVATINE_TEST_TIMEOUT_SCALE=4 \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" > /dev/null
cmake --build "$build_dir" -j "$jobs"

reports=$(cd "$build_dir" && pwd)/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
status=0
# The deep perft counts are capped lower: sanitized programs are slower.
CRV_PERFT_CAP=${CRV_PERFT_CAP:-1000000} \
ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:abort_on_error=0" \
UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$build_dir" -j "$jobs" --timeout 2400 --output-on-failure "$@" || status=$?

# Only files with content hold reports (an empty one is left now and then).
found=$(find "$reports" -type f -size +0 | wc -l)
if [ "$found" -ne 0 ]; then
  echo "sanitizer reports ($found files):"
  for file in $(find "$reports" -type f -size +0); do
    echo "== $file"
    head -40 "$file"
  done
  status=1
fi
[ "$status" -eq 0 ] && echo "sanitize: every test passed, no sanitizer report"
exit "$status"
