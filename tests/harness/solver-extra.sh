#!/bin/sh
# The stage select's fewest turns of extra stages, found on the solver's own thread and kept
# in the save file by the file's contents. Each run has one stage in the extra folder of a
# game folder of its own, so the list's order does not matter:
#   1. おまけ２ shows 24 once the solver is done, and its answer is stored with the file's hash;
#   2. with that row's answer changed to 99 by hand, the unchanged file shows 99 (no search);
#   3. the file with one byte appended shows 24 again (searched anew, the row replaced);
#   4. a stage that cannot be cleared shows the cross mark;
#   5. a 255 x 255 stage with 7,225 frogs shows the question mark: the search meets its budget.
#   solver-extra.sh HARNESS GAME_DIR SQLITE3
harness=$1 game=$2 sqlite=$3
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
extra="$dir/data/stage/extra"
mkdir -p "$extra" || exit 1

# From the title's extra entry to the list, the solver done; then CHECK lines.
run() {
    printf 'idle\npress confirm\nidle\nexpect-scene 2\npress down\npress confirm\nexpect-scene 3\nidle\nwait 2\nwait-solver\nclear-draws\nframes 1\n%s\n' "$1" > "$dir/check.script"
    "$harness" --dir "$dir" "$dir/check.script" || { echo "failed: $1" >&2; exit 1; }
}

cp "$game/data/stage/extra/おまけ２.pzd" "$extra/a.pzd" || exit 1
run "expect-number 352 24"
rows=$("$sqlite" "$dir/tomarugi.save" "SELECT kind || ' ' || name || ' ' || file_hash || ' ' || fewest_turns FROM stage_fewest_turns")
size=$(wc -c < "$extra/a.pzd")
printf '%s\n' "$rows" | grep -q "^1 a.pzd $size:[0-9a-f]\{16\} 24\$" || { echo "stored rows: $rows" >&2; exit 1; }

"$sqlite" "$dir/tomarugi.save" "UPDATE stage_fewest_turns SET fewest_turns = 99" || exit 1
run "expect-number 352 99"

printf '\0' >> "$extra/a.pzd"
run "expect-number 352 24"
[ "$("$sqlite" "$dir/tomarugi.save" "SELECT count(*) || ' ' || max(fewest_turns) FROM stage_fewest_turns")" = "1 24" ] || exit 1

rm "$extra/a.pzd"
printf '_____\n_@._F\n_____\n' > "$dir/never.txt"
"$game/tomarugi-stage" compile "$dir/never.txt" "$extra/never.pzd" || exit 1
run "expect-drawn stageselect_marks.png 32 0"

rm "$extra/never.pzd"
awk 'BEGIN { for (y = 0; y < 255; ++y) { row = ""; for (x = 0; x < 255; ++x) {
        c = "."; if (y % 3 == 1 && x % 3 == 1) c = "F"; if (y == 1 && x == 0) c = "@"; row = row c }
        print row } }' > "$dir/hostile.txt"
"$game/tomarugi-stage" compile "$dir/hostile.txt" "$extra/hostile.pzd" || exit 1
run "expect-drawn stageselect_marks.png 64 0
expect-not-drawn stageselect_marks.png 32 0"
[ "$("$sqlite" "$dir/tomarugi.save" "SELECT fewest_turns FROM stage_fewest_turns WHERE name = 'hostile.pzd'")" = "-2" ] || exit 1
