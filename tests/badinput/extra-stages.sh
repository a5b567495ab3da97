#!/bin/sh
# Bad extra stage files through the real game. One extra stage folder holds a good stage
# (a copy of おまけ１.pzd) under several hard names, and beside it files that are empty, cut
# off in the middle of a cell, claim 255 x 255 with no cells, are a directory named "x.pzd"
# or a named pipe, or cannot be read, and names that are not valid UTF-8 or have no Shift-JIS form. The
# harness opens the extra list (every listed entry shows its frog count and size), decides
# on each entry in turn and
#   - plays the good copies to the clear: each stores its record under its own name;
#   - for an entry that yields no stage (or a stage without a frog), is back on the list
#     without a clear, and the best record it had before stays;
#   - for the cut-off stage, plays what was read (missing cells are holes) without an
#     instant clear, gives up and stores nothing.
# Names the game cannot show (not UTF-8, no Shift-JIS form) are not listed.
#   extra-stages.sh HARNESS GAME_DIR SOLUTIONS SQLITE3
HARNESS=$1 GAME=$2 SOLUTIONS=$3 SQLITE=$4
. "$(dirname "$0")/common.sh"

if ! can_drop_privileges; then
    echo "SKIP: running as root without setpriv, so no file can be made unreadable to the game"
    exit $SKIP
fi
make_game_dir
extra=$dir/data/stage/extra
good=$GAME/data/stage/extra/おまけ１.pzd
[ -f "$good" ] || fail "no shipped extra stage $good"
turns=$(turns_of おまけ１.pzd)
moves=$(solution_of おまけ１.pzd)
[ -n "$turns" ] && [ -n "$moves" ] || fail "no solution for おまけ１.pzd in $SOLUTIONS"

# The good stage's header and frogs, read from the file itself.
words=$(od -An -v -tu4 "$good" | tr -s ' \n' '\n\n' | grep -v '^$')
size_word=$(printf '%s\n' "$words" | sed -n 2p)
width=$((size_word & 255)) height=$(((size_word >> 8) & 255))
frogs_in() { # frogs among the cells of a whole-cell prefix of the good stage ($1 cells)
    printf '%s\n' "$words" | sed -n "3,\$p" | head -n $(($1 * 2)) | awk 'NR % 2 == 0 && $1 == 2' | wc -l
}
cells=$((width * height))
frogs=$(frogs_in $cells)

long_kana=$(printf 'あ%.0s' $(seq 82)) # 246 bytes of UTF-8
long_ascii=$(printf 'x%.0s' $(seq 246))
cp "$good" "$extra/good.pzd"
cp "$good" "$extra/'; DROP TABLE result_stage_extra; --.pzd"
cp "$good" "$extra/$long_kana.pzd"    # 250 bytes on disk, 168 in Shift-JIS
cp "$good" "$extra/$long_ascii.pzd"   # 250 bytes both ways
cp "$good" "$extra/$(printf 'bad\377\376name.pzd')" # not UTF-8
cp "$good" "$extra/蛙🐸.pzd"           # UTF-8 with no Shift-JIS form
cp "$good" "$extra/unreadable.pzd" && chmod 000 "$extra/unreadable.pzd"
: > "$extra/empty.pzd"
printf '\0\0\0\0\377\377\0\0' > "$extra/claim255.pzd"
mkdir "$extra/x.pzd"
mkfifo "$extra/fifo.pzd" # nobody writes to it: opening it to read would wait for ever
# Cut three bytes into the cell that holds the last frog: the frogs before it stay.
last_frog=$(printf '%s\n' "$words" | sed -n "3,\$p" | awk 'NR % 2 == 0 && $1 == 2 { n = (NR / 2) - 1 } END { print n }')
head -c $((8 + last_frog * 8 + 3)) "$good" > "$extra/truncated.pzd"
truncated_frogs=$(frogs_in "$last_frog")
[ "$truncated_frogs" -gt 0 ] || fail "the cut-off stage keeps no frog; choose another cut"

# The entries in the order the game lists them, without the names it cannot convert: by
# name, ASCII letters without case and then by Shift-JIS bytes. For these names (one
# Japanese name, the rest ASCII without characters between 'Z' and 'a' where it matters)
# the C locale's case-folding sort gives that same order.
listed=$(ls -U "$extra" | while IFS= read -r name; do
    case $name in *.pzd) ;; *) continue ;; esac
    printf '%s' "$name" | iconv -f UTF-8 -t CP932 >/dev/null 2>&1 && printf '%s\n' "$name"
done | LC_ALL=C sort -f)
count=$(printf '%s\n' "$listed" | grep -c .)
[ "$count" -eq 10 ] || fail "expected 10 listable entries, found $count"

# The stages that cannot be played already have a best record (the player cleared them
# before the files went bad): it must survive the visit.
for name in empty.pzd x.pzd fifo.pzd unreadable.pzd claim255.pzd truncated.pzd; do
    "$SQLITE" "$dir/tomarugi.save" "INSERT INTO result_stage_extra VALUES ('$name', 7)" || fail "cannot set up records"
done

script=$dir.script
{
    echo "idle"; echo "press confirm"; echo "idle"
    echo "press down"; echo "press confirm"; echo "idle"; echo "wait 30"
    echo "expect-scene 3"; echo "expect-stage-kind extra"; echo "expect-text-count $count"
    index=0
    printf '%s\n' "$listed" | while IFS= read -r name; do
        echo "# $index: $name"
        i=0; while [ $i -lt $index ]; do echo "press down"; i=$((i + 1)); done
        echo "frames 1"
        echo "expect-text 32 ${name%.pzd}"
        case $name in
            empty.pzd|x.pzd|fifo.pzd|unreadable.pzd) shown="0 0 0" ;;
            claim255.pzd) shown="0 255 255" ;;
            truncated.pzd) shown="$truncated_frogs $width $height" ;;
            *) shown="$frogs $width $height" ;;
        esac
        set -- $shown
        echo "expect-number 160 $1"; echo "expect-number 224 $2"; echo "expect-number 288 $3"
        echo "clear-draws"
        case $name in
            empty.pzd|x.pzd|fifo.pzd|unreadable.pzd|claim255.pzd)
                # No stage to play: back on the list on its own, never a clear. The puzzle
                # screen may already be gone when the decide's update ends (the list screen
                # waits for the loader as it leaves, so the puzzle's loads can be done by then).
                echo "press confirm"; echo "idle"; echo "wait 60"; echo "expect-scene 3"
                echo "expect-not-drawn dialogue.png 0 192" ;;
            truncated.pzd)
                echo "press confirm"; echo "expect-scene 4"; echo "idle"; echo "wait 2"
                echo "wait 120"; echo "expect-scene 4"
                echo "expect-not-drawn dialogue.png 0 192"
                # Give up through the menu; confirm leaves for the list.
                echo "press c"; echo "press down"; echo "press down"; echo "press confirm"
                echo "press down"; echo "press confirm"; echo "wait 2"
                echo "expect-drawn dialogue.png 0 320"; echo "press confirm"; echo "wait 1"
                echo "expect-scene 3" ;;
            *)
                echo "press confirm"; echo "expect-scene 4"; echo "idle"; echo "wait 2"
                moves_to_script "$moves"
                echo "wait 1"; echo "expect-drawn dialogue.png 0 192"
                echo "press confirm"; echo "wait 600"; echo "press confirm"; echo "wait 1"
                echo "expect-scene 3" ;;
        esac
        echo "idle"; echo "wait 30"; echo "expect-scene 3"
        index=$((index + 1))
    done
} > "$script"

run_harness "$script" || { cat "$dir.stderr" >&2; fail "the harness run failed (script $script)"; }

# Records: the good copies hold the clear's turns, everything else nothing but 0; the
# tables are all there (the quote-named stage did not reach the SQL).
rows=$("$SQLITE" "$dir/tomarugi.save" "SELECT hex(name) || ' ' || best_record FROM result_stage_extra") ||
    fail "the save file cannot be read"
printf '%s\n' "$listed" | while IFS= read -r name; do
    case $name in
        empty.pzd|x.pzd|fifo.pzd|unreadable.pzd|claim255.pzd|truncated.pzd) want=7 ;;
        *) want=$turns ;;
    esac
    printf '%s\n' "$rows" | grep -qx "$(shift_jis_hex "$name") $want" ||
        fail "extra record of $name is not $want: $rows"
done || exit 1
[ "$(printf '%s\n' "$rows" | grep -c .)" -eq "$count" ] || fail "not one record row per listed stage: $rows"
[ -z "$("$SQLITE" "$dir/tomarugi.save" "SELECT name FROM result_stage_normal WHERE best_record > 0")" ] ||
    fail "a normal record was stored"
exit 0
