#!/bin/sh
# Two copies of the game at once on one game folder (so on one save file), each driven by its
# own script; the scripts take turns through marker files (make-file, wait-file) made in a
# folder of this run. Passes when both scripts pass.
#   two-copies.sh HARNESS SCRIPT_A SCRIPT_B GAME_DIR
harness=$1 script_a=$2 script_b=$3 game=$4
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/game" "$dir/markers" && mkdir -p "$dir/game/data/stage/extra" || exit 1
cp "$game/tomarugi.save" "$dir/game/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/game/" || exit 1
cd "$dir/markers" || exit 1
"$harness" --dir "$dir/game" "$script_a" 2>"$dir/a.stderr" &
a=$!
"$harness" --dir "$dir/game" "$script_b" 2>"$dir/b.stderr" &
b=$!
wait $a; status_a=$?
wait $b; status_b=$?
[ "$status_a" -eq 0 ] || { echo "copy A failed ($status_a):" >&2; cat "$dir/a.stderr" >&2; }
[ "$status_b" -eq 0 ] || { echo "copy B failed ($status_b):" >&2; cat "$dir/b.stderr" >&2; }
[ "$status_a" -eq 0 ] && [ "$status_b" -eq 0 ]
