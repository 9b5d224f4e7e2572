#!/usr/bin/env bash
# Long runs of games through third-party match runners, the way GUIs and
# testers drive the engine: fastchess over UCI (a gauntlet against Debian
# engines and against itself) and cutechess-cli over xboard (with and without
# pondering). Every engine conversation is logged, then
# tools/check_endurance.py counts the games, crashes, illegal moves and losses
# on time and parses every line the engine printed as a line of its protocol.
#
# UCI pondering (go ponder, ponderhit, stop) is played through our own runner,
# tools/match.py, against stockfish: fastchess has no pondering and
# cutechess-cli ponders only with engines that offer a "Ponder" option.
#
# Usage: tools/endurance.sh [uci|xboard|xboard-ponder|ponder|check|all]   (default all)
# Environment:
#   ENDURANCE_DIR    where the games and logs go (default build/endurance)
#   UCI_ROUNDS       fastchess rounds of two games per opponent (default 100,
#                    five opponents: 1000 games)
#   UCI_TC           fastchess time control (default 1+0.01)
#   XBOARD_ROUNDS    cutechess-cli rounds of two games per match (default 50;
#                    four matches, two of them pondering: 400 games)
#   XBOARD_TC        cutechess-cli time control (default 2+0.02)
#   PONDER_GAMES     UCI games with pondering through tools/match.py (default
#                    100; neither runner ponders over UCI with this engine)
#   PONDER_TC        their time control (default 2+0.02)
#   CONCURRENCY      games at a time (default 2)
#   TOOLS_DIR        where fastchess and cutechess-cli are (default ../shared/tools)
# The engine is build/crv (run scripts/build first); it plays in a directory
# of its own with "values.txt" and the book beside it, as scripts/run sets it up.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

what=${1:-all}
out=${ENDURANCE_DIR:-build/endurance}
uci_rounds=${UCI_ROUNDS:-100}
uci_tc=${UCI_TC:-1+0.01}
xboard_rounds=${XBOARD_ROUNDS:-50}
xboard_tc=${XBOARD_TC:-2+0.02}
ponder_games=${PONDER_GAMES:-100}
ponder_tc=${PONDER_TC:-2+0.02}
concurrency=${CONCURRENCY:-2}
tools=${TOOLS_DIR:-$root/../shared/tools}
openings=$root/../shared/openings/noob_2moves.epd
engine=$root/build/crv

# Installs the Debian opponents and the Qt runtime of cutechess-cli when missing.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2> /dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

[ -x "$engine" ] || { echo "build/crv is missing: run scripts/build first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The engine's own working directory: parameters and a book to learn into.
prepare_engine_dir() {
  mkdir -p "$out/engine"
  cp values.txt "$out/engine/values.txt"
  cp Book.crv "$out/engine/Book.crv"
}

run_uci() {
  install_missing glaurung toga2 stockfish ethereal-chess
  prepare_engine_dir
  rm -f "$out/uci.pgn" "$out/uci.log" "$out/uci-config.json"
  # A gauntlet: crv against four Debian engines and a second crv, each pair
  # playing every opening with both colours.
  "$tools/fastchess" \
    -tournament gauntlet -seeds 1 \
    -engine cmd="$engine" name=crv dir="$out/engine" \
    -engine cmd=/usr/games/glaurung name=glaurung option.Threads=1 \
    -engine cmd=/usr/games/toga2 name=toga2 \
    -engine cmd=/usr/games/stockfish name=stockfish-skill3 option.Threads=1 "option.Skill Level=3" \
    -engine cmd=/usr/games/ethereal-chess name=ethereal option.Threads=1 \
    -engine cmd="$engine" name=crv-self dir="$out/engine" \
    -each tc="$uci_tc" option.Hash=16 \
    -openings file="$openings" format=epd order=random \
    -rounds "$uci_rounds" -repeat -concurrency "$concurrency" \
    -pgnout file="$out/uci.pgn" notation=uci \
    -config outname="$out/uci-config.json" -autosaveinterval 0 \
    -log file="$out/uci.log" level=info engine=true append=false \
    -recover \
    > "$out/uci.out" 2>&1 || echo "fastchess ended with code $?" >> "$out/uci.out"
}

# One cutechess-cli match over xboard: $1 names it, $2 is "ponder" or "", the
# rest are cutechess-cli arguments for the opponent.
run_xboard_match() {
  local name=$1 ponder=$2
  shift 2
  rm -f "$out/$name.pgn" "$out/$name.debug"
  "$tools/cutechess-cli" \
    -engine cmd="$engine" name=crv proto=xboard dir="$out/engine" \
    "$@" \
    -each tc="$xboard_tc" $ponder \
    -openings file="$openings" format=epd order=random \
    -games 2 -rounds "$xboard_rounds" -repeat -concurrency "$concurrency" \
    -pgnout "$out/$name.pgn" -recover -debug all \
    > "$out/$name.debug" 2>&1 || echo "cutechess-cli ended with code $?" >> "$out/$name.debug"
}

# Without pondering against phalanx and Fairy-Max, with pondering against
# phalanx and against itself; "xboard-ponder" plays only the pondering half.
run_xboard() {
  install_missing libqt6core6 phalanx fairymax
  prepare_engine_dir
  if [ "${1:-}" != ponder ]; then
    run_xboard_match xboard-phalanx "" \
      -engine cmd=/usr/games/phalanx name=phalanx proto=xboard arg=-b- arg=-l-
    run_xboard_match xboard-fairymax "" \
      -engine cmd=/usr/games/fairymax name=fairymax proto=xboard
  fi
  run_xboard_match xboard-phalanx-ponder ponder \
    -engine cmd=/usr/games/phalanx name=phalanx proto=xboard arg=-b- arg=-l-
  run_xboard_match xboard-self-ponder ponder \
    -engine cmd="$engine" name=crv-self proto=xboard dir="$out/engine"
}

run_ponder() {
  install_missing stockfish
  python3 tools/match.py --engine "$engine" --opponent stockfish --skill 3 --protocol uci \
    --games "$ponder_games" --tc "$ponder_tc" --concurrency "$concurrency" \
    > "$out/ponder-uci.out" 2>&1 || echo "match.py ended with code $?" >> "$out/ponder-uci.out"
}

check() {
  if [ -e "$out/ponder-uci.out" ]; then
    echo "== tools/match.py, UCI with pondering, against stockfish:"
    tail -n 25 "$out/ponder-uci.out"
  fi
  python3 tools/check_endurance.py --dir "$out"
}

case $what in
  uci) run_uci; check ;;
  xboard) run_xboard; check ;;
  xboard-ponder) run_xboard ponder; check ;;
  ponder) run_ponder; check ;;
  check) check ;;
  all) run_uci; run_xboard; run_ponder; check ;;
  *) echo "usage: tools/endurance.sh [uci|xboard|xboard-ponder|ponder|check|all]" >&2; exit 2 ;;
esac
