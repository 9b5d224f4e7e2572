#!/usr/bin/env bash
# The unit tests under valgrind's memcheck: crv_tests is built without the
# sanitizers (valgrind cannot run a sanitized program) in its own build
# directory and run in shards side by side under valgrind; any memory error or
# leak fails the run. Slow: not part of CI.
#
# Usage: tools/memcheck.sh [gtest filter, default every test]
# Environment: MEMCHECK_BUILD_DIR (default build-memcheck), JOBS (shards and
# build jobs, default 4).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
if ! command -v valgrind > /dev/null; then
  if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends valgrind
fi
build_dir=${MEMCHECK_BUILD_DIR:-build-memcheck}
jobs=${JOBS:-4}
filter=${1:-*}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCORVATINE_TEST_SANITIZE=OFF -DCORVATINE_X86=OFF > /dev/null
cmake --build "$build_dir" -j "$jobs" --target crv_tests

logs=$(cd "$build_dir" && pwd)/memcheck
rm -rf "$logs"
mkdir -p "$logs"
pids=()
for ((shard = 0; shard < jobs; shard++)); do
  GTEST_TOTAL_SHARDS=$jobs GTEST_SHARD_INDEX=$shard \
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --track-origins=yes --log-file="$logs/valgrind.$shard.%p.txt" \
      "$build_dir/tests/crv_tests" --gtest_filter="$filter" > "$logs/tests.$shard.txt" 2>&1 &
  pids+=($!)
done
status=0
for ((shard = 0; shard < jobs; shard++)); do
  code=0
  wait "${pids[$shard]}" || code=$?
  # One log per process: the tests that fork leave one per child as well.
  summary=$(cat "$logs"/valgrind."$shard".*.txt | grep -E "ERROR SUMMARY" | sed 's/^==[0-9]*== *//' | sort | uniq -c | tr -s ' \n' ' ')
  tests=$(grep -E "^\[  (PASSED|FAILED)  \]" "$logs/tests.$shard.txt" | tr '\n' ' ')
  echo "shard $shard: exit $code; $tests; $summary"
  if cat "$logs"/valgrind."$shard".*.txt | grep -qE "ERROR SUMMARY: [1-9]"; then
    status=1
  fi
  if [ "$code" -ne 0 ]; then
    status=1
    grep -E "^\[  FAILED  \]" "$logs/tests.$shard.txt" || true
  fi
done
[ "$status" -eq 0 ] && echo "memcheck: every unit test passed, no memory error, no leak" \
  || echo "memcheck: faults found; see $logs"
exit "$status"
