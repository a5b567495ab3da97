#!/bin/sh
# The player's data folder, through the real game run from a game folder the player cannot
# write (a scratch copy of the build's, made read-only). Each MODE is one case:
#   first-run           the folder is made with a copy of the shipped save file (its
#                       settings row, here with music volume 3, included) and the player's
#                       extra stage folder; a clear's record lands there; nothing is said
#   folder-is-file      $XDG_DATA_HOME/tomarugi is a file
#   not-a-database      the player's tomarugi.save is not a database
#   unwritable-data-home  XDG_DATA_HOME names a folder the player cannot write
#   no-home             neither HOME nor XDG_DATA_HOME is set
#                       (these four: one line on stderr says why nothing is kept, the game
#                       plays a stage to its clear all the same, and no existing file changes)
#   player-stages       the game's extra folder holds two stages, the player's folder one
#                       under the name of the first (with the board of the second) and one of
#                       its own: the list shows each name once, in name order, and the shared
#                       name plays the player's board (cleared by that board's solution)
#   player-folder.sh MODE HARNESS GAME_DIR SOLUTIONS SQLITE3
MODE=$1 HARNESS=$2 GAME=$3 SOLUTIONS=$4 SQLITE=$5
here=$(dirname "$0")
. "$here/../badinput/common.sh"
. "$here/common.sh"

can_play_as_player || { echo "SKIP: running as root without setpriv, so the game folder cannot be made read-only"; exit $SKIP; }
make_work_dir
game=$work/game
mkdir -p "$game/data/stage/extra" || exit 1
cp "$GAME/tomarugi.save" "$game/" && ln -s "$GAME/data.lpk" "$GAME"/*.lmp "$game/" || exit 1
cp "$GAME"/data/stage/extra/*.pzd "$game/data/stage/extra/" || exit 1
data=$home/.local/share/tomarugi

stage=練習問題１.pzd
turns=$(turns_of $stage) moves=$(solution_of $stage)
[ -n "$turns" ] && [ -n "$moves" ] || fail "no solution for $stage in $SOLUTIONS"
{ enter_normal_list; play_to_clear "$moves"; } >"$work/play.script"

# Exactly one line on stderr, matching the pattern $1.
expect_one_line() {
    lines=$(grep -c . "$work/stderr")
    [ "$lines" -eq 1 ] && grep -q "$1" "$work/stderr" ||
        { cat "$work/stderr" >&2; fail "expected one line matching '$1' on stderr, got $lines"; }
}

case $MODE in
    first-run)
        "$SQLITE" "$game/tomarugi.save" "UPDATE system_config SET volume_bgm = 3 WHERE id = 1" || exit 1
        chmod -R a+rX,a-w "$game"
        echo "expect-save record normal $stage $turns" >>"$work/play.script"
        play_as_player "$work/play.script" "$game" || { cat "$work/stderr" >&2; fail "the run failed"; }
        [ ! -s "$work/stderr" ] || { cat "$work/stderr" >&2; fail "the first run complained"; }
        [ "$("$SQLITE" "$data/tomarugi.save" "SELECT volume_bgm FROM system_config WHERE id = 1")" = 3 ] ||
            fail "the player's save file is not a copy of the shipped one"
        [ "$(record_in "$data/tomarugi.save" normal "$stage")" = "$turns" ] || fail "the record is not in the player's save file"
        [ "$(record_in "$game/tomarugi.save" normal "$stage")" != "$turns" ] || fail "the shipped save file changed"
        [ -d "$data/stage/extra" ] || fail "no extra stage folder for the player's own stages"
        [ ! -e "$data/tomarugi.save.new" ] || fail "the passing copy was left behind"
        ;;
    folder-is-file|not-a-database|unwritable-data-home|no-home)
        case $MODE in
            folder-is-file)
                mkdir -p "$home/.local/share"
                printf 'my notes\n' >"$data"; keep=$data; why="$data is not a folder"
                set -- HOME="$home" ;;
            not-a-database)
                mkdir -p "$data"
                printf 'not a database, and not to be replaced\n' >"$data/tomarugi.save"
                keep=$data/tomarugi.save; why="tomarugi.save cannot be written"
                set -- HOME="$home" ;;
            unwritable-data-home)
                mkdir "$work/locked" && chmod 555 "$work/locked"
                keep=; why="$work/locked/tomarugi cannot be made"
                set -- HOME="$home" XDG_DATA_HOME="$work/locked" ;;
            no-home)
                keep=; why="neither XDG_DATA_HOME nor HOME"
                set -- -u HOME ;;
        esac
        [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$home"
        [ -z "$keep" ] || cp "$keep" "$work/kept"
        chmod -R a+rX,a-w "$game"
        play_as_player "$work/play.script" "$game" "$@" || { cat "$work/stderr" >&2; fail "the game did not play on"; }
        expect_one_line "$why"
        [ -z "$keep" ] || cmp -s "$keep" "$work/kept" || fail "$keep was changed"
        ;;
    player-stages)
        # Two extra stages with recorded solutions, whatever they are called.
        first=$(grep '^extra	' "$SOLUTIONS" | sed -n 1p | cut -f 2)
        second=$(grep '^extra	' "$SOLUTIONS" | sed -n 2p | cut -f 2)
        [ -n "$second" ] || fail "solutions.txt has fewer than two extra stages"
        second_moves=$(solution_of "$second") second_turns=$(turns_of "$second")
        [ "$second_moves" != "$(solution_of "$first")" ] || fail "$first and $second share a solution"
        rm -f "$game"/data/stage/extra/*.pzd
        cp "$GAME/data/stage/extra/$first" "$game/data/stage/extra/b-shared.pzd" || exit 1
        cp "$GAME/data/stage/extra/$second" "$game/data/stage/extra/C-shipped.pzd" || exit 1
        chmod -R a+rX,a-w "$game"
        mkdir -p "$data/stage/extra"
        cp "$GAME/data/stage/extra/$second" "$data/stage/extra/b-shared.pzd" || exit 1
        cp "$GAME/data/stage/extra/$first" "$data/stage/extra/a-own.pzd" || exit 1
        [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$home"
        {
            enter_extra_list
            echo "expect-text-count 3"
            # The cursor's line is drawn at y 32, the list running on below it.
            echo "frames 1"; echo "expect-text 32 a-own"
            echo "press down"; echo "frames 1"; echo "expect-text 32 b-shared"
            echo "press down"; echo "frames 1"; echo "expect-text 32 C-shipped"
            echo "press up"; echo "frames 1"; echo "expect-text 32 b-shared"
            play_to_clear "$second_moves"
            echo "expect-save record extra b-shared.pzd $second_turns"
        } >"$work/play.script"
        play_as_player "$work/play.script" "$game" || { cat "$work/stderr" >&2; fail "the run failed"; }
        [ "$(record_in "$data/tomarugi.save" extra b-shared.pzd)" = "$second_turns" ] ||
            fail "b-shared.pzd was not cleared with the player's board"
        ;;
    *) fail "unknown mode $MODE" ;;
esac
exit 0
