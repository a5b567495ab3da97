#!/bin/sh
# Runs a stage editor script in a game folder and a player folder of their own. In mode
# "normal" the stage it saved must be in the player's extra folder and print back through
# `tomarugi-stage print` to the grid of SOURCE; in mode "readonly" the player's extra folder
# cannot be written and must stay empty; in mode "keys" a stage saved under the default name
# "マイステージ 001" must be there.
#   editor.sh HARNESS SCRIPT GAME_DIR STAGE_TOOL SOURCE MODE
harness=$1 script=$2 game=$(cd "$3" && pwd) tool=$4 source=$5 mode=$6
dir=$(mktemp -d) || exit 1
trap 'chmod -R u+w "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
mkdir -p "$dir/game" "$dir/home" || exit 1
cp "$game/tomarugi.save" "$dir/game/" && ln -s "$game/data.lpk" "$game"/*.lmp "$game/data" "$dir/game/" || exit 1
extra="$dir/home/tomarugi/stage/extra"
if [ "$mode" = readonly ]; then
    mkdir -p "$dir/home/tomarugi/stage" || exit 1
    if [ "$(id -u)" = 0 ]; then
        # Permissions do not stop root: a file where the folder belongs does.
        : > "$extra"
    else
        mkdir "$extra" && chmod 555 "$extra" "$dir/home/tomarugi/stage" || exit 1
    fi
fi
count_normal() { sqlite3 "$dir/game/tomarugi.save" "SELECT count(*) FROM result_stage_normal"; }
if command -v sqlite3 >/dev/null; then normal_rows=$(count_normal); fi
XDG_DATA_HOME="$dir/home" "$harness" --player-env --dir "$dir/game" "$script" || exit 1
# A test play is never recorded: no row appears for it (the scripts visit no normal list).
if command -v sqlite3 >/dev/null; then
    if [ "$(count_normal)" != "$normal_rows" ] ||
       [ "$(sqlite3 "$dir/game/tomarugi.save" "SELECT count(*) FROM result_stage_extra WHERE name = ''")" != 0 ]; then
        echo "a test play left a record row in tomarugi.save" >&2
        exit 1
    fi
fi
if [ "$mode" = readonly ]; then
    if [ -d "$extra" ] && [ -n "$(ls -A "$extra")" ]; then
        echo "something was written into the read-only folder: $(ls -A "$extra")" >&2
        exit 1
    fi
    exit 0
fi
if [ "$mode" = keys ]; then
    # Saved with the pad under the first default name.
    if [ ! -f "$extra/マイステージ 001.pzd" ]; then
        echo "no stage saved under the default name in $extra: $(ls -A "$extra")" >&2
        exit 1
    fi
    exit 0
fi
saved="$extra/わたしの練習.pzd"
if [ ! -f "$saved" ]; then
    echo "no saved stage at $saved" >&2
    exit 1
fi
# The grid printed back from the saved file is the source's grid (comments and title aside).
grid() { grep -v '^;' | grep -v '^title:' | sed 's/ *$//' | sed '/^$/d'; }
printed=$("$tool" print "$saved" | grid) || exit 1
wanted=$(grid < "$source")
if [ "$printed" != "$wanted" ]; then
    echo "the saved stage prints as" >&2
    printf '%s\n' "$printed" >&2
    echo "instead of" >&2
    printf '%s\n' "$wanted" >&2
    exit 1
fi
exit 0
