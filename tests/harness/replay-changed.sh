#!/bin/sh
# A clear's moves, as the real game stored them, proven by `tomarugi-stage records --verify`;
# then the stage file edited (one byte more): the tool says "stage changed" and exits 1, and
# the game's replay key shows its notice and returns to the stage select.
#   replay-changed.sh HARNESS CLEAR_SCRIPT CHANGED_SCRIPT GAME_DIR STAGE_TOOL STAGE TURNS
harness=$1 clear=$2 changed=$3 game=$4 tool=$5 stage=$6 turns=$7
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
mkdir -p "$dir/data/stage/extra" || exit 1
cp "$game/data/stage/extra/$stage" "$dir/data/stage/extra/" || exit 1
"$harness" --dir "$dir" "$clear" || exit 1

out=$("$tool" records "$dir/tomarugi.save" --verify --stages "$dir/data/stage/extra") || {
    echo "records --verify failed on the game's own clear:" >&2; echo "$out" >&2; exit 1; }
printf '%s\n' "$out" | grep -qx "extra	${stage%.pzd}.pzd	$turns	moves	ok" || {
    echo "expected an ok line for $stage in $turns turns:" >&2; echo "$out" >&2; exit 1; }

printf '\0' >> "$dir/data/stage/extra/$stage" || exit 1
out=$("$tool" records "$dir/tomarugi.save" --verify --stages "$dir/data/stage/extra")
code=$?
if [ "$code" -ne 1 ] || ! printf '%s\n' "$out" | grep -q "	stage changed$"; then
    echo "expected 'stage changed' and exit 1, got exit $code:" >&2; echo "$out" >&2; exit 1
fi
"$harness" --dir "$dir" "$changed" || exit 1
exit 0
