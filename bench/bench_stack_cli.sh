#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: stellon-cli stack (reading, automatic framing and combination of
# every image) on a generated 1000-frame 640x480 planet video, next to FFmpeg
# decoding the same file and throwing the frames away.
#
# usage: bench/bench_stack_cli.sh [BUILD_DIR [WORK_DIR]]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/stellon_bench_stack}
cli="$build/src/app/stellon-cli"
mkdir -p "$work"
video="$work/planet_1000_640x480.avi"
[ -f "$video" ] || "$cli" sample "$video" --frames 1000 --size 640x480 --seed 7 >/dev/null

# Best of three: "<wall seconds> <peak KiB>".
best() {
  local best_t="" best_m=""
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt" >&2; return 1; }
    read -r t m <"$work/time.txt"
    if [ -z "$best_t" ] || awk "BEGIN{exit !($t < $best_t)}"; then best_t=$t; best_m=$m; fi
  done
  echo "$best_t $best_m"
}

read -r ff_t ff_m < <(best ffmpeg -v error -i "$video" -f null -)
read -r mean_t mean_m < <(best "$cli" stack "$video" -o "$work/mean.bmp" --ini "$work/none.ini")
read -r kappa_t kappa_m < <(best "$cli" stack "$video" -o "$work/kappa.bmp" --method kappa --kappa 3 --ini "$work/none.ini")
size=$(stat -c %s "$video")
echo "video: 1000 frames of 640x480, raw 24-bit AVI ($((size / 1048576)) MiB), default settings (tolerance 30, margin 10)"
echo
echo "| run | wall | peak memory | / FFmpeg decode |"
echo "|---|---|---|---|"
printf "| ffmpeg -i VIDEO -f null - | %s s | %s MiB | 1.0x |\n" "$ff_t" $((ff_m / 1024))
printf "| stellon-cli stack --method mean | %s s | %s MiB | %sx |\n" "$mean_t" $((mean_m / 1024)) "$(awk "BEGIN{printf \"%.1f\", $mean_t / $ff_t}")"
printf "| stellon-cli stack --method kappa | %s s | %s MiB | %sx |\n" "$kappa_t" $((kappa_m / 1024)) "$(awk "BEGIN{printf \"%.1f\", $kappa_t / $ff_t}")"
