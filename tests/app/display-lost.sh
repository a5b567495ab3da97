#!/bin/sh
# The game loses its display: the program is started on a private Xvfb, left to reach its
# logos and title (helper threads running), and the Xvfb is killed under it. It must end by
# itself with exit code 1 and exactly one line on stderr saying the display is gone (not
# abort in its exit path), and the save file must still be a good database.
#   display-lost.sh GAME_DIR SQLITE3
GAME=$1 SQLITE=$2
SKIP=77
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in Xvfb xwininfo; do
    command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool is missing (scripts/setup-debian installs it)"; exit $SKIP; }
done
work=$(mktemp -d) || exit 1
xvfb= game=
trap '[ -n "$game" ] && kill -9 $game 2>/dev/null; [ -n "$xvfb" ] && kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
# A copy of the game folder, so the save file written is this test's own.
cp -R "$GAME" "$work/game" || fail "cannot copy $GAME"
save=$work/game/tomarugi.save
[ -f "$save" ] || fail "no save file in $GAME"

# Xvfb chooses a free display and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
tries=0
until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
    sleep 0.1
done
display=:$(cat "$work/display")

DISPLAY=$display SDL_AUDIODRIVER=dummy XDG_DATA_HOME=$work/data "$work/game/tomarugi" 2>"$work/stderr" &
game=$!
# The window is a child of the root window (no window manager on a private server).
tries=0
until xwininfo -display "$display" -root -children 2>/dev/null | grep -q '^ *[1-9][0-9]* child'; do
    tries=$((tries + 1))
    kill -0 $game 2>/dev/null || { cat "$work/stderr" >&2; fail "the game ended before it opened its window"; }
    [ $tries -le 300 ] || fail "the game opened no window in 30 s"
    sleep 0.1
done
sleep 3 # into the logos: loader, sound feeder and font threads at work

kill $xvfb
wait $xvfb 2>/dev/null
xvfb=
tries=0
while kill -0 $game 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -le 300 ] || fail "the game still runs 30 s after its display went away"
    sleep 0.1
done
wait $game
code=$?
game=

[ $code -eq 1 ] || { cat "$work/stderr" >&2; fail "exit code $code, not 1"; }
lines=$(wc -l <"$work/stderr")
[ "$lines" -eq 1 ] && grep -qx 'tomarugi: the display is gone (the X server closed the connection); ending' "$work/stderr" ||
    { cat "$work/stderr" >&2; fail "stderr is not the one line saying the display is gone"; }
[ "$("$SQLITE" "$save" "PRAGMA integrity_check")" = ok ] || fail "the save file is damaged"
[ "$("$SQLITE" "$save" "SELECT count(*) FROM system_config WHERE id = 1")" = 1 ] || fail "the save file lost its settings row"
exit 0
