#!/usr/bin/env bash
# Fuzzes every input path of the engine with libFuzzer under the address and
# undefined-behaviour sanitizers: each target runs for the given number of
# seconds (default 300), FUZZ_JOBS targets at a time (default 3; the build
# runs FUZZ_BUILD_JOBS compilers, default all processors). Without
# target names every target runs:
#
#   tools/fuzz.sh [seconds] [target...]
#
#   command  command lines through the line loop and the dispatcher
#   fen      the FEN reader and the positions it accepts
#   ini      the settings file "Corvatine.ini"
#   values   the parameter file "values.txt"
#   book     an opening book file
#   learn    a learning file "Learn.cr1"
#   syzygy   a Syzygy WDL or DTZ table
#   pgn_epd  the PGN and EPD readers ("pgneval", "epdevl")
#
# Installs Debian's clang when it is missing. The build, the growing corpora
# and the findings (crash-*, timeout-*, leak-*, oom-* files) go to build/fuzz
# (or $FUZZ_DIR); each target's log is <target>.log there. The seeds are
# tools/fuzz/corpus/<target> and, made here, the shared Syzygy tables of at
# most 16 KB ($CORVATINE_SHARED or ../shared), an empty learning file and the
# engine's values.txt. The exit status is 1 when any target found something.
# A finding is replayed by running its target on the file, named by an
# absolute path (a target starts in a temporary directory of its own):
#
#   CORVATINE_SYZYGY=$PWD/../shared/syzygy build/fuzz/syzygy_fuzz "$PWD/build/fuzz/syzygy-crash-..."
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
all_targets=(command fen ini values book learn syzygy pgn_epd)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi
for target in "${targets[@]}"; do
  [ -f "tools/fuzz/${target}_fuzz.cpp" ] || { echo "No fuzz target $target" >&2; exit 2; }
done
out=${FUZZ_DIR:-build/fuzz}
jobs=${FUZZ_JOBS:-3}
build_jobs=${FUZZ_BUILD_JOBS:-$(nproc)}
shared=${CORVATINE_SHARED:-../shared}

if ! command -v clang++ > /dev/null; then
  if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang
fi

# 1. The engine's sources (not its main) and the shared target code, built
# once in parallel; then every target linked with the same wrapped functions
# (tools/fuzz/fuzz_support.h says what each wrapper does).
mkdir -p "$out/objects"
out=$(cd "$out" && pwd)
shopt -s nullglob
sources=(tools/fuzz/fuzz_support.cpp)
for source in board/*.cpp eval/*.cpp search/*.cpp interface/*.cpp book/*.cpp tablebases/*.cpp platform/*.cpp; do
  [ "$source" = interface/main.cpp ] || sources+=("$source")
done
flags="-std=c++20 -O1 -g -I. -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
objects=()
for source in "${sources[@]}"; do
  objects+=("$out/objects/$(echo "${source%.cpp}" | tr / _).o")
done
# An object is rebuilt when its source or any header is newer than it.
newest_header=$(find board eval search interface book tablebases platform tools/fuzz -name '*.h' -printf '%T@\n' |
  sort -n | tail -n 1)
for index in "${!sources[@]}"; do
  source=${sources[$index]} object=${objects[$index]}
  if [ -f "$object" ] && [ "$object" -nt "$source" ] &&
    awk -v a="$(stat -c %.Y "$object")" -v b="$newest_header" 'BEGIN { exit !(a > b) }'; then
    continue
  fi
  echo "clang++ $flags -fsanitize=fuzzer-no-link -c $source -o $object"
done | xargs -P "$build_jobs" -I{} sh -c {}
wrapped=(exit _Z14FreeHashTablesv _Z10RootSearchv _Z15RootSearchFixedi _Z17RootSearchMultiPVi _Z5Perfti _Z13SetHashSizeMbi
         _Z17SetPawnHashSizeMbi _Z13PlayDemoGamesv _Z8OpenBookPKc _Z15EvaluateEpdFilePKc
         _Z20LoadEvaluationValuesv)
wrap_flags=""
for name in "${wrapped[@]}"; do wrap_flags+=" -Wl,--wrap=$name"; done
for target in "${targets[@]}"; do
  # shellcheck disable=SC2086
  echo "clang++ $flags -fsanitize=fuzzer$wrap_flags tools/fuzz/${target}_fuzz.cpp ${objects[*]} -o $out/${target}_fuzz"
done | xargs -P "$build_jobs" -I{} sh -c {}

# 2. Seeds made here: tables and files too large to keep in the tree.
seeds=$out/seeds
mkdir -p "$seeds/syzygy" "$seeds/learn" "$seeds/values"
for table in "$shared"/syzygy/*.rtb[wz]; do
  [ "$(stat -c %s "$table")" -le 16384 ] || continue
  { basename "$table"; cat "$table"; } > "$seeds/syzygy/$(basename "$table")"
done
python3 - "$seeds/learn/empty" << 'EOF'
import sys
with open(sys.argv[1], "wb") as f:
    f.write(b"Corvatine learning file" + bytes(4 * 65536))
EOF
cp values.txt "$seeds/values/values.txt"

max_len() {
  case $1 in
    values) echo 400000 ;;
    learn) echo 270000 ;;
    syzygy) echo 20000 ;;
    fen) echo 600 ;;
    *) echo 8192 ;;
  esac
}

# 3. The runs, FUZZ_JOBS at a time; a finding ends its target's run.
run_target() {
  local target=$1
  mkdir -p "$out/corpus/$target"
  local dirs=("$out/corpus/$target")
  [ -d "tools/fuzz/corpus/$target" ] && dirs+=("$PWD/tools/fuzz/corpus/$target")
  [ -d "$seeds/$target" ] && dirs+=("$seeds/$target")
  if CORVATINE_SYZYGY=$(cd "$shared" 2> /dev/null && pwd)/syzygy \
    "$out/${target}_fuzz" "${dirs[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$(max_len "$target")" -artifact_prefix="$out/$target-" -print_final_stats=1 \
    > "$out/$target.log" 2>&1; then
    echo "$target: $(grep -E '^#[0-9]+.*(DONE|pulse)' "$out/$target.log" | tail -n 1)"
  else
    echo "$target: FOUND SOMETHING, see $out/$target.log"
    grep -E 'ERROR|SUMMARY|Test unit written' "$out/$target.log" | head -n 5
    return 1
  fi
}
export -f run_target max_len
export out seeds shared seconds
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target {}' || exit 1
