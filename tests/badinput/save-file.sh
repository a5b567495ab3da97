#!/bin/sh
# A bad "tomarugi.save" through the real game. The harness boots to the title, plays
# 練習問題１ from the stage select to the clear, goes back to the title and raises the music
# volume on the configuration screen. Whatever the save file is, that road must work (no
# crash, no hang); afterwards the file is checked:
#   garbage, text   not a database: its bytes are exactly as before (never overwritten);
#   readonly        cannot be written (mode 444): its bytes are as before, the old records
#                   and settings survive, the game still played;
#   no-normal, no-extra, no-config
#                   one table dropped: it is made again (settings with the defaults), the
#                   rows of the other tables survive, the clear's record and the new
#                   volume are stored;
#   empty           a file of 0 bytes: it becomes the full schema with the record and volume;
#   no-tables       a database without any of the game's tables (but another table): the
#                   schema is made beside the other table, which stays.
# Where nothing can be stored, stderr says so once; where it can, nothing is said.
#   save-file.sh HARNESS GAME_DIR SOLUTIONS SQLITE3 MODE
HARNESS=$1 GAME=$2 SOLUTIONS=$3 SQLITE=$4 MODE=$5
. "$(dirname "$0")/common.sh"

make_game_dir
save=$dir/tomarugi.save
stage=練習問題１.pzd
turns=$(turns_of $stage)
moves=$(solution_of $stage)
[ -n "$turns" ] || fail "no solution for $stage"
sql() { "$SQLITE" "$save" "$1" || fail "sqlite3 refused: $1"; }
# Records a player already has, in both tables (names in Shift-JIS bytes, as the game keeps them).
earlier() {
    sql "INSERT INTO result_stage_normal VALUES (CAST(X'$(shift_jis_hex 練習問題２.pzd)' AS TEXT), 5);
         INSERT INTO result_stage_extra VALUES (CAST(X'$(shift_jis_hex おまけ２.pzd)' AS TEXT), 30);
         UPDATE system_config SET volume_se = 4 WHERE id = 1"
}
case $MODE in
    garbage) awk 'BEGIN { for (i = 0; i < 4096; i++) printf "%c", (i * 37 + 11) % 256 }' > "$save" ;;
    text) printf 'my notes: stage 3 is hard\n' > "$save" ;;
    readonly)
        can_drop_privileges || { echo "SKIP: root without setpriv cannot be kept from writing"; exit $SKIP; }
        earlier ;;
    no-normal) earlier; sql "DROP TABLE result_stage_normal" ;;
    no-extra) earlier; sql "DROP TABLE result_stage_extra" ;;
    no-config) earlier; sql "DROP TABLE system_config" ;;
    empty) : > "$save" ;;
    no-tables)
        earlier
        sql "DROP TABLE result_stage_normal; DROP TABLE result_stage_extra; DROP TABLE system_config;
             CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')" ;;
    *) fail "unknown mode $MODE" ;;
esac
cp "$save" "$dir.before"
[ "$MODE" = readonly ] && chmod 444 "$save"

script=$dir.script
{
    echo "idle"; echo "press confirm"; echo "idle"; echo "expect-scene 2"
    echo "press confirm"; echo "expect-scene 3"; echo "idle"; echo "wait 12"
    echo "expect-text 32 練習問題１"
    echo "press confirm"; echo "expect-scene 4"; echo "idle"; echo "wait 2"; echo "expect-scene 4"
    echo "clear-draws"
    moves_to_script "$moves"
    echo "wait 1"; echo "expect-drawn dialogue.png 0 192"
    echo "press confirm"; echo "wait 600"; echo "press confirm"; echo "wait 1"; echo "expect-scene 3"
    echo "idle"; echo "wait 30"
    # Back to the title, then the configuration screen (the fifth entry): music one step up, and leave.
    echo "press cancel"; echo "expect-scene 2"; echo "idle"; echo "wait 60"
    echo "press down"; echo "press down"; echo "press down"; echo "press down"; echo "press confirm"; echo "expect-scene 5"; echo "idle"
    echo "press right"; echo "press confirm"; echo "expect-scene 2"
} > "$script"
run_harness "$script" || { cat "$dir.stderr" >&2; fail "the harness run failed ($MODE)"; }
chmod u+w "$save"

record() { # the stored record of a stage: TABLE NAME
    "$SQLITE" "$save" "SELECT best_record FROM $1 WHERE name = CAST(X'$(shift_jis_hex "$2")' AS TEXT)"
}
# Where nothing can be stored the player is told so once; elsewhere nothing is said.
told=$(grep -c "tomarugi.save cannot be written" "$dir.stderr")
case $MODE in
    garbage|text|readonly)
        cmp -s "$save" "$dir.before" || fail "the save file was changed ($MODE)"
        [ "$told" -eq 1 ] || fail "not told once that nothing is kept ($MODE): $(cat "$dir.stderr")" ;;
    *) [ "$told" -eq 0 ] || fail "told that nothing is kept, yet it is ($MODE): $(cat "$dir.stderr")" ;;
esac
case $MODE in
    readonly)
        [ "$(record result_stage_normal 練習問題２.pzd)" = 5 ] || fail "a normal record was lost"
        [ "$(record result_stage_extra おまけ２.pzd)" = 30 ] || fail "an extra record was lost" ;;
    no-normal|no-extra|no-config|empty|no-tables)
        [ "$(sql "PRAGMA integrity_check")" = ok ] || fail "the file is damaged"
        [ "$(record result_stage_normal $stage)" = "$turns" ] || fail "the clear's record was not stored ($MODE)"
        if [ "$MODE" = no-tables ]; then
            [ "$(sql "SELECT text FROM notes")" = mine ] || fail "a table of the file was lost"
        elif [ "$MODE" != empty ]; then
            if [ "$MODE" != no-normal ]; then
                [ "$(record result_stage_normal 練習問題２.pzd)" = 5 ] || fail "a normal record was lost"
            fi
            if [ "$MODE" != no-extra ]; then
                [ "$(record result_stage_extra おまけ２.pzd)" = 30 ] || fail "an extra record was lost"
            fi
        fi
        # The defaults (music 7, effects 7) where the settings were made anew, else the old effects 4.
        want_se=4
        case $MODE in no-config|empty|no-tables) want_se=7 ;; esac
        [ "$(sql "SELECT volume_bgm || ' ' || volume_se FROM system_config WHERE id = 1")" = "8 $want_se" ] ||
            fail "settings after the visit: $(sql "SELECT * FROM system_config") ($MODE)"
        [ "$(sql "SELECT count(*) FROM system_config")" = 1 ] || fail "more than one settings row" ;;
esac
exit 0
