#!/usr/bin/env bash
# Plays the large tuning set of the long evaluation blocks: several runs of
# tools/texel_games.sh at 5000 nodes a move, each with its own seed (so its
# own opening order), one after another, then the concatenated game lines in
# OUT_DIR/games.txt. The set "crv" is the engine's self-play and its games
# against Glaurung; the set "stockfish" is Debian's Stockfish against itself,
# whose results follow from the positions far more than those of the
# engine's own games, where a later blunder decides many of them.
#
# Usage: tools/texel_data.sh OUT_DIR [CONCURRENCY [SET]]
#        (default 4 games at once, the set "crv")
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/texel_data.sh OUT_DIR [CONCURRENCY [SET]]}
concurrency=${2:-4}
set=${3:-crv}
glaurung=/usr/games/glaurung
stockfish=/usr/games/stockfish
# seed rounds opponent first ("-": build/crv, or self-play as opponent); two
# games a round.
case "$set" in
  crv)
    runs=(
      "231 1500 - -"
      "232 1000 $glaurung -"
      "233 1500 - -"
      "234 1000 - -"
      "235 1000 $glaurung -"
      "236 400 - -"
    ) ;;
  stockfish)
    runs=(
      "301 1750 - $stockfish"
    ) ;;
  *)
    echo "unknown set $set (crv or stockfish)" >&2
    exit 1 ;;
esac
mkdir -p "$out"
files=()
for run in "${runs[@]}"; do
  read -r seed rounds opponent first <<< "$run"
  [ "$first" = "-" ] && first=
  "$root/tools/texel_games.sh" "$out/run_$seed" "$rounds" 5000 "$concurrency" \
    "$seed" "$opponent" $first
  echo "seed $seed: $(wc -l < "$out/run_$seed/games.txt") games" >&2
  files+=("$out/run_$seed/games.txt")
done
cat "${files[@]}" > "$out/games.txt"
echo "total: $(wc -l < "$out/games.txt") games" >&2
