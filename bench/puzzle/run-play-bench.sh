#!/bin/sh
# Runs the play benchmarks through the harness with real offscreen rendering (--pixels):
# the normal stage in a scratch copy of the game folder, the wide stage in a game folder of
# its own whose extra folder holds only it. Prints the figures and the load average.
#   run-play-bench.sh HARNESS GAME_DIR WIDE_STAGE NORMAL_SCRIPT WIDE_SCRIPT
harness=$1 game=$2 wide=$3 normal_script=$4 wide_script=$5
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$harness" --pixels "$normal_script" || exit 1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
mkdir -p "$dir/data/stage/extra" && cp "$wide" "$dir/data/stage/extra/wide255.pzd" || exit 1
"$harness" --pixels --dir "$dir" "$wide_script" || exit 1
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
