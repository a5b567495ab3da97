#!/bin/sh
# Runs a generated extra play-through in a game folder of its own whose extra stage folder
# holds only two copies of one shipped extra stage, "氷の池.pzd" and "it's \"frog\".pzd",
# then checks that the save file records each under its Shift-JIS name with TURNS turns.
#   stageselect-extra-play.sh HARNESS SCRIPT GAME_DIR SQLITE3 SOURCE_STAGE TURNS
harness=$1 script=$2 game=$3 sqlite=$4 source=$5 turns=$6
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
mkdir -p "$dir/data/stage/extra" || exit 1
cp "$game/data/stage/extra/$source" "$dir/data/stage/extra/氷の池.pzd" || exit 1
cp "$game/data/stage/extra/$source" "$dir/data/stage/extra/it's \"frog\".pzd" || exit 1
"$harness" --dir "$dir" "$script" || exit 1

rows=$("$sqlite" "$dir/tomarugi.save" "SELECT hex(name) || ' ' || best_record FROM result_stage_extra") || exit 1
for name in "氷の池.pzd" "it's \"frog\".pzd"; do
    hex=$(printf '%s' "$name" | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
    if ! printf '%s\n' "$rows" | grep -qx "$hex $turns"; then
        echo "no extra record of $turns turns for $name (Shift-JIS $hex) in tomarugi.save:" >&2
        printf '%s\n' "$rows" >&2
        exit 1
    fi
done
exit 0
