#!/bin/sh
# Times the game's start-up RUNS times through the harness with real offscreen rendering
# (--pixels): each run is a fresh process. Prints every run, the medians and the load
# average.
#   run-startup-bench.sh HARNESS SCRIPT RUNS
harness=$1 script=$2 runs=$3
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
    "$harness" --pixels "$script" >>"$out" || exit 1
    i=$((i + 1))
done
cat "$out"
# "startup: first logo 812 ms, title menu 1234 ms after ..." -> the medians of both.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
logo=$(sed -n 's/.*first logo \([0-9]*\) ms.*/\1/p' "$out" | median)
title=$(sed -n 's/.*title menu \([0-9]*\) ms.*/\1/p' "$out" | median)
echo "median of $runs runs: first logo $logo ms, title menu $title ms after the process started"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
