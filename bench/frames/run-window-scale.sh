#!/bin/sh
# Frame time of the real game on the puzzle screen (体験版Hard) in a 640 x 480 window and in
# a 1280 x 960 one, side by side in one run, and the frame gaps when the window goes
# fullscreen and back. Each run is a fresh process in a scratch copy of the game folder
# under its own Xvfb (the game opens at the largest whole scale that fits the screen: a
# 1024 x 768 screen gives 1x, a 1920 x 1080 one 2x), SDL's X11 driver, the dummy audio
# driver, and SwapProbe preloaded to time the swaps and play the keys.
#
# Frame time: the median gap between swaps over five seconds of the puzzle standing idle
# (its animations running), after it has loaded; RUNS runs of each size, alternating.
# Switching: with a window manager (openbox) on the 1920 x 1080 screen, F11 at the puzzle
# (fullscreen, 2.25x: the 2x pictures load while the 1x ones are shown), F11 again (back to
# 2x); the largest gap in the second after each switch.
#   run-window-scale.sh GAME PROBE RUNS
game=$1 probe=$2 runs=$3
folder=$(cd "$(dirname "$game")" && pwd) game=$folder/$(basename "$game")
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
shaderCache=$(mktemp -d) || exit 1
trap 'rm -rf "$shaderCache"' EXIT
# Logos, title, normal stages, up to the last stage (体験版Hard), decide; F12 once it has
# loaded marks the start of the measured stretch, quit its end.
timing_keys="1500:z 1500:z 1500:z 800:up 400:z 4000:f12 5000:quit"
switch_keys="1500:z 1500:z 1500:z 800:up 400:z 4000:f12 1500:f11 2500:f12 1500:f11 2500:f12 1000:quit"

# run SCREEN KEYS WM: prints the frame log's path
run() {
    dir=$(mktemp -d) || exit 1
    cp "$game" "$dir/" && cp "$folder/tomarugi.save" "$dir/" && ln -s "$folder/data.lpk" "$folder"/*.lmp "$dir/" || exit 1
    MESA_SHADER_CACHE_DIR=$shaderCache SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
    LD_PRELOAD_PROBE="$probe" SWAP_PROBE_LOG="$dir/frames.log" SWAP_PROBE_KEYS="$2" GAME="$dir/$(basename "$game")" WM="$3" \
        timeout -s TERM 90 xvfb-run -a -s "-screen 0 $1x24" sh -c '
            if [ -n "$WM" ]; then openbox >/dev/null 2>&1 & sleep 1; fi
            LD_PRELOAD="$LD_PRELOAD_PROBE" "$GAME" 2>"$(dirname "$GAME")/stderr.log"' >/dev/null 2>&1
    echo "$dir"
}

# median_after LOG STEP_KEY: median gap (ms) between the swaps after the step with that key
# and the next step.
median_after() {
    awk -v key="$2" '
        $1 == "#" && $2 == "step" { inside = ($4 == key); previous = ""; next }
        $1 == "#" { next }
        inside { if (previous != "") print $2 - previous; previous = $2 }' "$1/frames.log" |
        sort -n | awk '{ v[NR] = $1 } END { print NR ? v[int((NR + 1) / 2)] : "none" }'
}

# Run 0 fills the shader cache (a player's first start) and is not counted: the switching
# road, so that the variants the software renderer compiles for a fullscreen (filtered)
# frame are in the cache too, as after a player's first switch.
dir=$(run 1920x1080 "$switch_keys" openbox); rm -rf "$dir"
small_all="" large_all=""
i=1
while [ "$i" -le "$runs" ]; do
    dir=$(run 1024x768 "$timing_keys" ""); small=$(median_after "$dir" f12); rm -rf "$dir"
    dir=$(run 1920x1080 "$timing_keys" ""); large=$(median_after "$dir" f12)
    [ "$i" -eq 1 ] && [ -n "$KEEP" ] && echo "kept: $dir" || rm -rf "$dir"
    echo "run $i: 640 x 480 median frame $small ms, 1280 x 960 median frame $large ms" \
         "($(awk -v a="$large" -v b="$small" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "?" }') x)"
    small_all="$small_all $small" large_all="$large_all $large"
    i=$((i + 1))
done
echo "medians of the runs: 640 x 480 $(echo $small_all | tr ' ' '\n' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') ms," \
     "1280 x 960 $(echo $large_all | tr ' ' '\n' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') ms"

# The switches, with a window manager so that fullscreen is granted.
dir=$(run 1920x1080 "$switch_keys" openbox)
awk '
    $1 == "#" && $2 == "step" { key = $4; at = $6; if (key == "f11") { switches++; watch = 1; from = $6; worst[switches] = 0 } next }
    $1 == "#" { next }
    {
        if (previous != "" && watch && $2 - from <= 1000) { gap = $2 - previous; if (gap > worst[switches]) worst[switches] = gap }
        previous = $2
    }
    END { for (s = 1; s <= switches; s++) printf "switch %d (%s): largest gap in the second after it %.1f ms\n", s, s == 1 ? "to fullscreen" : "back to the window", worst[s] }
' "$dir/frames.log"
grep -v '^$' "$dir/stderr.log" | sed 's/^/stderr: /'
if [ -n "$KEEP" ]; then echo "kept: $dir"; else rm -rf "$dir"; fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
