#!/usr/bin/env bash
# Plays the large tuning set of the long evaluation blocks: several runs of
# tools/texel_games.sh at 5000 nodes a move, self-play and against Glaurung,
# each with its own seed (so its own opening order), one after another, then
# the concatenated game lines in OUT_DIR/games.txt.
#
# Usage: tools/texel_data.sh OUT_DIR [CONCURRENCY]   (default 4 games at once)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/texel_data.sh OUT_DIR [CONCURRENCY]}
concurrency=${2:-4}
glaurung=/usr/games/glaurung
# seed rounds opponent (empty: self-play); two games a round.
runs=(
  "231 1500 -"
  "232 1000 $glaurung"
  "233 1500 -"
  "234 1000 -"
  "235 1000 $glaurung"
  "236 400 -"
)
mkdir -p "$out"
for run in "${runs[@]}"; do
  read -r seed rounds opponent <<< "$run"
  [ "$opponent" = "-" ] && opponent=
  "$root/tools/texel_games.sh" "$out/run_$seed" "$rounds" 5000 "$concurrency" \
    "$seed" $opponent
  echo "seed $seed: $(wc -l < "$out/run_$seed/games.txt") games" >&2
done
cat "$out"/run_*/games.txt > "$out/games.txt"
echo "total: $(wc -l < "$out/games.txt") games" >&2
