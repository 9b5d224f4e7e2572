#!/usr/bin/env bash
# Plays the games the tuning tool learns from: build/crv with the shipped
# values.txt at a fixed number of nodes a move, against itself or against
# another UCI engine (OPPONENT, a command such as /usr/games/glaurung, run
# with one thread at the same node count), from both colours of the shared
# openings (order fixed by the seed), PGN with coordinate moves, then the
# game lines of tools/pgn_games.py.
#
# Usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED [OPPONENT]]]]]
#        (defaults: 1000 rounds of two games, 5000 nodes, 3 games at once,
#        seed 15, self-play; another seed gives another opening order, so
#        more games)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED [OPPONENT]]]]]}
rounds=${2:-1000}
nodes=${3:-5000}
concurrency=${4:-3}
seed=${5:-15}
opponent=${6:-}
shared=${CORVATINE_SHARED_DIR:-$root/../shared}
mkdir -p "$out/engine"
out=$(cd "$out" && pwd)
cp "$root/build/crv" "$root/values.txt" "$out/engine/"
second=(cmd="$out/engine/crv" dir="$out/engine" name=b)
if [ -n "$opponent" ]; then
  second=(cmd="$opponent" name="$(basename "$opponent")" option.Threads=1)
fi
rm -f "$out/games.pgn"
# fastchess leaves its config.json in the directory it runs in.
(cd "$out" && "$shared/tools/fastchess" \
  -engine cmd="$out/engine/crv" dir="$out/engine" name=a \
  -engine "${second[@]}" \
  -each tc=inf nodes="$nodes" option.Hash=16 \
  -openings file="$shared/openings/noob_2moves.epd" format=epd order=random \
  -srand "$seed" -rounds "$rounds" -repeat -concurrency "$concurrency" \
  -pgnout file="$out/games.pgn" notation=uci > "$out/fastchess.log" 2>&1)
python3 "$root/tools/pgn_games.py" "$out/games.pgn" > "$out/games.txt"
