#!/usr/bin/env bash
# Times the game's start-up to its first paint against a bare Qt window, 30 runs each, on the
# offscreen platform: bench/game/run-startup.sh BUILD-DIR PROGRAM-FOLDER
set -euo pipefail
build=${1:?build folder}
folder=${2:?program folder with dbImages.mdb}
export QT_QPA_PLATFORM=offscreen
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
run() {
  for _ in $(seq 30); do
    s=$(date +%s%N); "$build/bench/bench-startup" "$1" "$folder" 2>/dev/null; e=$(date +%s%N)
    echo $(( (e - s) / 1000 ))
  done | median
}
run bare >/dev/null # warm the caches
bare=$(run bare)
game=$(run game)
echo "bare window: ${bare} us, game window: ${game} us, ratio $(awk "BEGIN {printf \"%.2f\", $game / $bare}")"
