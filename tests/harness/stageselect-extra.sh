#!/bin/sh
# Runs stageselect-extra.script in a game folder of its own whose extra stage folder holds
# the shipped extra stages plus a Japanese-named and a quote-named copy, then checks that
# the save file has a record row for each under its Shift-JIS name. With MODE "empty" the
# folder holds no stage file (only a text file), the tester's own data folder holds stages
# that must not show, and only the script runs; with "unreadable"
# it holds only an empty stage file, which must gain no record.
#   stageselect-extra.sh HARNESS SCRIPT GAME_DIR SQLITE3 [MODE]
harness=$1 script=$2 game=$3 sqlite=$4 mode=$5
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cp "$game/tomarugi.save" "$dir/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/" || exit 1
mkdir -p "$dir/data/stage/extra" || exit 1
if [ "$mode" = unreadable ]; then
    # An empty stage file (no header, so no board): played, it must store no record.
    : > "$dir/data/stage/extra/broken.pzd"
    "$harness" --dir "$dir" "$script" || exit 1
    if [ -n "$("$sqlite" "$dir/tomarugi.save" "SELECT name FROM result_stage_extra WHERE name LIKE 'broken%' AND best_record > 0")" ]; then
        echo "a record was stored for an unreadable stage" >&2
        exit 1
    fi
    exit 0
fi
if [ "$mode" = empty ]; then
    echo "not a stage" > "$dir/data/stage/extra/readme.txt"
    # The tester's own stages (in the data folder of a HOME made here) stay out of the list.
    mkdir -p "$dir/home/.local/share/tomarugi/stage/extra" || exit 1
    cp "$game"/data/stage/extra/*.pzd "$dir/home/.local/share/tomarugi/stage/extra/" || exit 1
    env -u XDG_DATA_HOME HOME="$dir/home" "$harness" --dir "$dir" "$script"
    exit $?
fi
cp "$game"/data/stage/extra/*.pzd "$dir/data/stage/extra/" || exit 1
first=$(ls "$dir/data/stage/extra" | head -n 1)
cp "$dir/data/stage/extra/$first" "$dir/data/stage/extra/氷の池.pzd"
cp "$dir/data/stage/extra/$first" "$dir/data/stage/extra/it's \"frog\".pzd"
"$harness" --dir "$dir" "$script" || exit 1

rows=$("$sqlite" "$dir/tomarugi.save" "SELECT hex(name) FROM result_stage_extra") || exit 1
for name in "氷の池.pzd" "it's \"frog\".pzd" "おまけ１.pzd"; do
    hex=$(printf '%s' "$name" | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
    if ! printf '%s\n' "$rows" | grep -qx "$hex"; then
        echo "no extra record row for $name (Shift-JIS $hex) in tomarugi.save" >&2
        exit 1
    fi
done
# The normal table gains nothing from a visit to the extra stages.
if [ -n "$("$sqlite" "$dir/tomarugi.save" "SELECT name FROM result_stage_normal WHERE name LIKE '%frog%'")" ]; then
    echo "an extra stage was recorded in the normal table" >&2
    exit 1
fi
exit 0
