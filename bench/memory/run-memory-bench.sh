#!/bin/sh
# Peak resident memory and heap allocations per steady frame of the whole game, through the
# counting harness with real offscreen rendering (--pixels): the normal stage in a scratch
# copy of the game folder, the 255 x 255 stage in a folder whose extra stages are only it.
# /usr/bin/time reports the peak of the whole run as the kernel counted it (the largest
# process waited for: the game run, which the harness starts as its child).
#   run-memory-bench.sh HARNESS GAME_DIR WIDE_STAGE NORMAL_SCRIPT WIDE_SCRIPT
harness=$1 game=$(cd "$2" && pwd) wide=$3 normal_script=$4 wide_script=$5
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/time -f "normal-hard run: max RSS %M KiB (/usr/bin/time)" "$harness" --pixels "$normal_script" || exit 1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
mkdir -p "$dir/data/stage/extra" && cp "$wide" "$dir/data/stage/extra/wide255.pzd" || exit 1
/usr/bin/time -f "wide255 run: max RSS %M KiB (/usr/bin/time)" "$harness" --pixels --dir "$dir" "$wide_script" || exit 1
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
