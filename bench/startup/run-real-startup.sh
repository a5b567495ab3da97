#!/bin/sh
# Times the real game program's start-up RUNS times, each a fresh process in a scratch copy
# of its folder (so the shipped save file is never touched), under SDL's offscreen video
# driver (Mesa renders; no display needed) and the dummy audio driver, with SwapProbe
# preloaded to note every frame shown. Each run lasts 3 s and is then ended with SIGTERM.
# Prints, per run, the time of the first frame and the timeline of what the frames showed:
# each change of the two probed pixels (screen centre, near the top left corner) with the
# frame and the milliseconds since the process started.
#   run-real-startup.sh GAME PROBE RUNS
game=$1 probe=$2 runs=$3
folder=$(dirname "$game")
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
run=0
while [ "$run" -lt "$runs" ]; do
    dir=$(mktemp -d) || exit 1
    cp "$game" "$dir/" && cp "$folder/tomarugi.save" "$dir/" && ln -s "$folder/data.lpk" "$folder"/*.lmp "$dir/" || exit 1
    SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LD_PRELOAD="$probe" SWAP_PROBE_LOG="$dir/frames.log" \
        timeout -s TERM 3 "$dir/$(basename "$game")"
    echo "run $((run + 1)):"
    # Lines: frame, ms since the process start, centre RRGGBB, corner RRGGBB.
    awk '{ state = $3 " " $4 }
         NR == 1 { printf "  first frame at %s ms\n", $2 }
         state != last { printf "  frame %d at %s ms: centre %s, corner %s\n", $1, $2, $3, $4; last = state; changes++ }
         changes > 12 { exit }' "$dir/frames.log"
    rm -rf "$dir"
    run=$((run + 1))
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
