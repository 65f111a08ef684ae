#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: stellon-cli rank and stack --best 25 --align subpixel on a
# generated 1000-frame 640x480 planet video, next to FFmpeg decoding the same
# file (one thread) and to the plain framing (stellon-cli frame), in the same
# run. CPU seconds (user + system), best of three, so that the other programs
# of a shared machine do not inflate the figures.
#
# usage: bench/bench_lucky_cli.sh [BUILD_DIR [WORK_DIR]]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/stellon_bench_lucky_cli}
cli="$build/src/app/stellon-cli"
mkdir -p "$work"
video="$work/planet_1000_640x480.avi"
[ -f "$video" ] || "$cli" sample "$video" --frames 1000 --size 640x480 --seed 7 >/dev/null

best() {
  local best_t=""
  for _ in 1 2 3; do
    /usr/bin/time -f "%U %S" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt" >&2; return 1; }
    read -r u s <"$work/time.txt"
    t=$(awk "BEGIN{print $u + $s}")
    if [ -z "$best_t" ] || awk "BEGIN{exit !($t < $best_t)}"; then best_t=$t; fi
  done
  echo "$best_t"
}

ff=$(best ffmpeg -v error -nostdin -threads 1 -i "$video" -f null -)
frame=$(best "$cli" frame "$video" --ini "$work/none.ini" --quiet)
rank=$(best "$cli" rank "$video" --ini "$work/none.ini" --quiet)
plain=$(best "$cli" stack "$video" -o "$work/plain.fit" --ini "$work/none.ini" --quiet)
lucky=$(best "$cli" stack "$video" -o "$work/lucky.fit" --best 25 --align subpixel --ini "$work/none.ini" --quiet)
ratio() { awk "BEGIN{printf \"%.2f\", $1 / $ff}"; }
echo "video: 1000 frames of 640x480, raw 24-bit AVI; CPU seconds (user + system), best of 3"
echo
echo "| run | CPU s | / FFmpeg decode |"
echo "|---|---|---|"
echo "| ffmpeg -threads 1 -i VIDEO -f null - | $ff | 1.00 |"
echo "| stellon-cli frame | $frame | $(ratio "$frame") |"
echo "| stellon-cli rank (frame + rank) | $rank | $(ratio "$rank") |"
echo "| ranking alone (rank - frame) | $(awk "BEGIN{print $rank - $frame}") | $(ratio "($rank - $frame)") |"
echo "| stellon-cli stack (mean, as framed) | $plain | $(ratio "$plain") |"
echo "| stellon-cli stack --best 25 --align subpixel | $lucky | $(ratio "$lucky") |"
