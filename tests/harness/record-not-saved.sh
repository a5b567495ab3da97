#!/bin/sh
# Runs SCRIPT in a game folder of its own while, between its markers, a second process holds
# the save file's write lock: "ready" (the stage is open) -> the lock is taken -> "locked";
# "cleared" -> the lock is let go -> "released". Reads go on meanwhile; writes wait out the
# game's busy timeout and fail.
#   record-not-saved.sh HARNESS SCRIPT GAME_DIR SQLITE3
harness=$1 script=$2 game=$3 sqlite=$4
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/game" "$dir/markers" && mkdir -p "$dir/game/data/stage/extra" || exit 1
cp "$game/tomarugi.save" "$dir/game/" && ln -s "$game/data.lpk" "$game"/*.lmp "$dir/game/" || exit 1
markers=$dir/markers

# Gives up after 120 s so that a failed game run never leaves the lock holder behind.
wait_for() {
    tries=0
    while [ ! -e "$markers/$1" ] && [ $tries -lt 1200 ]; do sleep 0.1; tries=$((tries + 1)); done
}
{
    wait_for ready
    echo "BEGIN IMMEDIATE;"
    echo ".shell touch '$markers/locked'"
    wait_for cleared
    echo "COMMIT;"
    echo ".shell touch '$markers/released'"
} | "$sqlite" "$dir/game/tomarugi.save" &
holder=$!
cd "$markers" || exit 1
"$harness" --dir "$dir/game" "$script"
status=$?
touch "$markers/ready" "$markers/cleared"
wait $holder
exit $status
