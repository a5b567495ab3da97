# Shared by the bad-input scripts (sourced, POSIX sh). Each script works in a scratch game
# folder of its own, made by make_game_dir, and never writes into the build's game folder.
#
# Variables the caller sets first: HARNESS (tomarugi-harness), GAME (the build's game folder).

SKIP=77 # CTest's SKIP_RETURN_CODE for these tests

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A scratch game folder in $dir: the shipped save file copied, the data pack and the plug-ins
# linked (so a case can replace one of them without touching the originals), an empty extra
# stage folder. Removed when the script exits.
make_game_dir() {
    dir=$(mktemp -d) || exit 1
    trap 'chmod -R u+rwX "$dir" 2>/dev/null; rm -rf "$dir" "$dir".*' EXIT
    cp "$GAME/tomarugi.save" "$dir/" || exit 1
    ln -s "$GAME/data.lpk" "$GAME"/*.lmp "$dir/" || exit 1
    mkdir -p "$dir/data/stage/extra" || exit 1
}

# Runs the harness on SCRIPT in $dir, as an unprivileged user when we are root (so that file
# modes are obeyed: root reads a file of mode 000). Its stderr goes to $dir.stderr. With
# PIXELS=--pixels the frames are rendered for real (OpenGL, offscreen).
# Returns the harness's exit code.
run_harness() {
    run_harness_as_player "$@"
    status=$?
    # KEEP_STDERR=FILE keeps the game's stderr for a look by hand.
    [ -z "$KEEP_STDERR" ] || cp "$dir.stderr" "$KEEP_STDERR"
    return $status
}

run_harness_as_player() {
    if [ "$(id -u)" -eq 0 ]; then
        chmod 777 "$dir" "$dir/data" "$dir/data/stage" "$dir/data/stage/extra"
        # The save file keeps the owner's write right for the other user too (a file made
        # read-only on purpose stays so).
        [ -w "$dir/tomarugi.save" ] && [ "$(stat -c %a "$dir/tomarugi.save")" != 444 ] &&
            chmod a+rw "$dir/tomarugi.save"
        setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp \
            "$HARNESS" --dir "$dir" $PIXELS "$1" 2>"$dir.stderr"
    else
        "$HARNESS" --dir "$dir" $PIXELS "$1" 2>"$dir.stderr"
    fi
}

# Whether file modes hold for the harness run (see run_harness); when not, the cases that
# need an unreadable or read-only file cannot be made.
can_drop_privileges() {
    [ "$(id -u)" -ne 0 ] || command -v setpriv >/dev/null 2>&1
}

# The lines of a harness script that play MOVES (the solver's notation of
# content/stages/solutions.txt: U D L R slide; P<d> face and push; T<d> face and thaw),
# waiting after each move long enough for the longest slide, push or thaw.
moves_to_script() {
    for move in $1; do
        case $move in
            U*|D*|L*|R*) direction=${move%"${move#?}"}; action= ;;
            P?) direction=${move#P}; action=confirm ;;
            T?) direction=${move#T}; action=cancel ;;
            *) fail "unknown move $move" ;;
        esac
        case $direction in
            U) echo "press up" ;; D) echo "press down" ;; L) echo "press left" ;; R) echo "press right" ;;
        esac
        [ -n "$action" ] && echo "press $action"
        echo "wait 150"
    done
}

# The solution moves of a stage file from solutions.txt.
solution_of() {
    grep "	$1	" "$SOLUTIONS" | cut -f 4
}

# The number of turns of a stage's solution.
turns_of() {
    grep "	$1	" "$SOLUTIONS" | cut -f 3
}

# A name in UTF-8 as the hexadecimal of its Shift-JIS bytes (upper case), as SQLite's hex().
shift_jis_hex() {
    printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F
}
