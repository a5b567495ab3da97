#!/bin/sh
# Times the stage select opening on the extra stages with COUNT stage files in
# "data/stage/extra" of a scratch game folder: copies of the built stages under numbered
# names, so every file is a real stage the catalogue reads in full. Runs the script RUNS
# times, each in a fresh folder with the shipped save file; prints every figure and the
# load average.
#   run-select-bench.sh HARNESS GAME_DIR SCRIPT COUNT RUNS
harness=$1 game=$(cd "$2" && pwd) script=$3 count=$4 runs=$5
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
set -- "$game"/stages/*.pzd "$game"/data/stage/extra/*.pzd
[ -f "$1" ] || { echo "no built stages in $game" >&2; exit 1; }
sources=$#
run=0
while [ "$run" -lt "$runs" ]; do
    dir=$(mktemp -d) || exit 1
    cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
    mkdir -p "$dir/data/stage/extra" || exit 1
    i=1
    while [ "$i" -le "$count" ]; do
        # The i-th source stage, cycling through the built ones.
        n=$(( (i - 1) % sources + 1 ))
        eval "source=\${$n}"
        cp "$source" "$dir/data/stage/extra/$(printf 'extra-%03d.pzd' "$i")" || exit 1
        i=$((i + 1))
    done
    "$harness" --pixels --dir "$dir" "$script"
    status=$?
    rm -rf "$dir"
    [ "$status" -eq 0 ] || exit "$status"
    run=$((run + 1))
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
