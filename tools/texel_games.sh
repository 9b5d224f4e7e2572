#!/usr/bin/env bash
# Plays the games the tuning tool learns from: build/crv with the shipped
# values.txt at a fixed number of nodes a move, against itself or against
# another UCI engine (OPPONENT, a command such as /usr/games/glaurung, run
# with one thread at the same node count), from both colours of the shared
# openings (order fixed by the seed), PGN with coordinate moves, then the
# game lines of tools/pgn_games.py. FIRST, a UCI command, plays in place of
# build/crv: with FIRST and OPPONENT both /usr/games/stockfish the games are
# a stronger engine's self-play, whose results say more about the positions
# than the results of games between weaker players.
#
# Usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED [OPPONENT [FIRST]]]]]]
#        (defaults: 1000 rounds of two games, 5000 nodes, 3 games at once,
#        seed 15, self-play of build/crv; another seed gives another opening
#        order, so more games; OPPONENT "-" is self-play)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/texel_games.sh OUT_DIR [ROUNDS [NODES [CONCURRENCY [SEED [OPPONENT [FIRST]]]]]]}
rounds=${2:-1000}
nodes=${3:-5000}
concurrency=${4:-3}
seed=${5:-15}
opponent=${6:-}
[ "$opponent" = "-" ] && opponent=
first=${7:-}
shared=${CORVATINE_SHARED_DIR:-$root/../shared}
mkdir -p "$out/engine"
out=$(cd "$out" && pwd)
cp "$root/build/crv" "$root/values.txt" "$out/engine/"
engine=(cmd="$out/engine/crv" dir="$out/engine" name=a)
if [ -n "$first" ]; then
  engine=(cmd="$first" name="a_$(basename "$first")" option.Threads=1)
fi
second=("${engine[@]/name=a/name=b}")
if [ -n "$opponent" ]; then
  second=(cmd="$opponent" name="b_$(basename "$opponent")" option.Threads=1)
fi
rm -f "$out/games.pgn"
# fastchess leaves its config.json in the directory it runs in.
(cd "$out" && "$shared/tools/fastchess" \
  -engine "${engine[@]}" \
  -engine "${second[@]}" \
  -each tc=inf nodes="$nodes" option.Hash=16 \
  -openings file="$shared/openings/noob_2moves.epd" format=epd order=random \
  -srand "$seed" -rounds "$rounds" -repeat -concurrency "$concurrency" \
  -pgnout file="$out/games.pgn" notation=uci > "$out/fastchess.log" 2>&1)
python3 "$root/tools/pgn_games.py" "$out/games.pgn" > "$out/games.txt"
