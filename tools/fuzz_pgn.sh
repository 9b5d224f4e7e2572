#!/usr/bin/env bash
# Fuzzes the EPD and PGN readers ("epdevl", "pgneval") with libFuzzer under
# the address and undefined-behaviour sanitizers for the given number of
# seconds (default 300). Installs Debian's clang when it is missing. The
# build and the corpus go to build/fuzz (or $FUZZ_DIR); crashes and hangs
# are written there as crash-* and timeout-* files.
#
#   tools/fuzz_pgn.sh [seconds] [more libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
out=${FUZZ_DIR:-build/fuzz}

if ! command -v clang++ > /dev/null; then
  if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang
fi

# 1. The engine's sources (not its main), built in parallel, and the target.
# The target works in a directory of its own: every path here is absolute.
mkdir -p "$out/objects" "$out/corpus"
out=$(cd "$out" && pwd)
shopt -s nullglob
sources=()
for source in board/*.cpp eval/*.cpp search/*.cpp interface/*.cpp book/*.cpp tablebases/*.cpp platform/*.cpp; do
  [ "$source" = interface/main.cpp ] || sources+=("$source")
done
flags="-std=c++20 -O1 -g -I. -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
objects=()
for source in "${sources[@]}"; do
  objects+=("$out/objects/$(echo "${source%.cpp}" | tr / _).o")
done
for index in "${!sources[@]}"; do
  source=${sources[$index]} object=${objects[$index]}
  [ -f "$object" ] && [ "$object" -nt "$source" ] && continue
  echo "clang++ $flags -fsanitize=fuzzer-no-link -c $source -o $object"
done | xargs -P "$(nproc)" -I{} sh -c {}
# shellcheck disable=SC2086
clang++ $flags -fsanitize=fuzzer -Wl,--wrap=_Z11ExitProgrami \
  tools/fuzz/pgn_epd_fuzz.cpp "${objects[@]}" -o "$out/pgn_epd_fuzz"

# 2. Seeds: EPD lines of the WAC suite and small PGN games (first byte: 1 EPD, 0 PGN).
shared=../shared/testdata/wac.epd
if [ -f "$shared" ]; then
  { printf '\001'; head -n 20 "$shared"; } > "$out/corpus/seed-epd-wac"
fi
printf '\001%s\n%s' '8/8/8/8/8/8/8/8 w - -' '4k3/8/8/8/8/8/4P3/4K3 b - -' > "$out/corpus/seed-epd-edges"
printf '\000%s' '[Event "a"]
[Result "0-1"]
[PlyCount "4"]
[FEN "1n2k3/8/5n2/8/8/8/8/4K3 w - - 0 1"]

1. Kd2 Nbd7 2. Kc3 Nd5+ 0-1

[Result "1-0"]
[FEN "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"]

1. Rb1 0-0-0 2. O-O+ 1-0

[result "1/2-1/2"]

{c} 1. e4 {x (y)} e5 $1 (1... c5 (1... e6 {)} 2. d4) 2. Nf3) 2. Nf3!? exd5 e8=Q Nd7 5... 1/2-1/2
' > "$out/corpus/seed-pgn"

# 3. Run.
"$out/pgn_epd_fuzz" "$out/corpus" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
  -artifact_prefix="$out/" -print_final_stats=1 "$@"
