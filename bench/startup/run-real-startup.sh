#!/bin/sh
# Times the real game program's start-up RUNS times, each a fresh process in a scratch copy
# of its folder (so the shipped save file is never touched), under SDL's offscreen video
# driver (Mesa renders; no display needed) and the dummy audio driver, with SwapProbe
# preloaded to note every frame shown. Each run lasts 5 s and is then ended with SIGTERM.
# Prints, per run, the time of the first frame (the loading picture) and of the first logo:
# the first frame whose corner pixel is BACKGROUND, the start-up screen's plain fill (texel
# (320, 0) of "common__soft_circle_640x480.tga", RRGGBB), which the loading picture never
# shows there; then the medians. With VERBOSE set, also every change of the two probed
# pixels.
#   run-real-startup.sh GAME PROBE RUNS BACKGROUND
game=$1 probe=$2 runs=$3 background=$4
folder=$(dirname "$game")
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
results=$(mktemp) || exit 1
trap 'rm -f "$results"' EXIT
run=0
while [ "$run" -lt "$runs" ]; do
    dir=$(mktemp -d) || exit 1
    cp "$game" "$dir/" && cp "$folder/tomarugi.save" "$dir/" && ln -s "$folder/data.lpk" "$folder"/*.lmp "$dir/" || exit 1
    SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LD_PRELOAD="$probe" SWAP_PROBE_LOG="$dir/frames.log" \
        timeout -s TERM 5 "$dir/$(basename "$game")" 2>/dev/null
    run=$((run + 1))
    if [ ! -s "$dir/frames.log" ]; then
        echo "run $run: no frame within 5 s"
    else
        # Lines: frame, ms since the process start, centre RRGGBB, corner RRGGBB.
        awk -v run="$run" -v background="$background" -v verbose="$VERBOSE" '
            $1 == "#" { next }
            first == "" { first = $2 }
            logo == "" && $4 == background { logo = $2; logoFrame = $1 }
            verbose != "" && $3 " " $4 != last { printf "  frame %d at %s ms: centre %s, corner %s\n", $1, $2, $3, $4; last = $3 " " $4 }
            END { printf "run %d: first frame %.0f ms, first logo %s ms (frame %s) after the process started\n", run, first, logo == "" ? "none" : sprintf("%.0f", logo), logoFrame }' \
            "$dir/frames.log" | tee -a "$results"
    fi
    rm -rf "$dir"
done
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "none" }'; }
first=$(sed -n 's/.*first frame \([0-9]*\) ms.*/\1/p' "$results" | median)
logo=$(sed -n 's/.*first logo \([0-9]*\) ms.*/\1/p' "$results" | median)
echo "median of $runs runs: first frame $first ms, first logo $logo ms after the process started"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
