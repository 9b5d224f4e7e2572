#!/usr/bin/env bash
# Plays the self-play games the tuning tool learns from: build/crv with the
# shipped values.txt against itself at a fixed number of nodes a move, from
# both colours of the shared openings (order fixed by the seed), PGN with
# coordinate moves, then the game lines of tools/pgn_games.py.
#
# Usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED]]]]
#        (defaults: 1000 rounds of two games, 5000 nodes, 3 games at once,
#        seed 15; another seed gives another opening order, so more games)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED]]]]}
rounds=${2:-1000}
nodes=${3:-5000}
concurrency=${4:-3}
seed=${5:-15}
shared=${CORVATINE_SHARED_DIR:-$root/../shared}
mkdir -p "$out/engine"
out=$(cd "$out" && pwd)
cp "$root/build/crv" "$root/values.txt" "$out/engine/"
rm -f "$out/games.pgn"
# fastchess leaves its config.json in the directory it runs in.
(cd "$out" && "$shared/tools/fastchess" \
  -engine cmd="$out/engine/crv" dir="$out/engine" name=a \
  -engine cmd="$out/engine/crv" dir="$out/engine" name=b \
  -each tc=inf nodes="$nodes" option.Hash=16 \
  -openings file="$shared/openings/noob_2moves.epd" format=epd order=random \
  -srand "$seed" -rounds "$rounds" -repeat -concurrency "$concurrency" \
  -pgnout file="$out/games.pgn" notation=uci > "$out/fastchess.log" 2>&1)
python3 "$root/tools/pgn_games.py" "$out/games.pgn" > "$out/games.txt"
