# Shared by the install scripts (sourced, POSIX sh, after tests/badinput/common.sh, whose
# fail, SKIP, moves_to_script, solution_of, turns_of and shift_jis_hex they use).
#
# The game is played as an unprivileged player, as an installed game is: when the tests run
# as root, through setpriv as `nobody` (file modes are obeyed then), with a scratch HOME.

# A scratch folder $work that `nobody` may enter, with the player's home $home in it (owned
# by the player). Removed when the script exits.
make_work_dir() {
    work=$(mktemp -d) || exit 1
    trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT
    chmod 755 "$work"
    home=$work/home
    mkdir "$home" || exit 1
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody:nogroup "$home" || exit 1
    fi
}

# Whether the game can be run as a player who cannot write the game folder.
can_play_as_player() {
    [ "$(id -u)" -ne 0 ] || command -v setpriv >/dev/null 2>&1
}

# Runs the harness on SCRIPT with the game folder GAME as its current directory, as the
# player, without XDG_DATA_HOME (--player-env: the game sees this environment, not the
# harness's scratch data folder). The words after GAME go to env before the program: by
# default HOME=$home. stderr goes to $work/stderr. Returns the harness's exit code.
play_as_player() {
    script=$1 game=$2
    shift 2
    [ $# -gt 0 ] || set -- HOME="$home"
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups \
            env -u XDG_DATA_HOME "$@" "$HARNESS" --dir "$game" --player-env "$script" 2>"$work/stderr"
    else
        env -u XDG_DATA_HOME "$@" "$HARNESS" --dir "$game" --player-env "$script" 2>"$work/stderr"
    fi
}

# Script lines: from the start-up screen into the normal stage select, list shown.
enter_normal_list() {
    printf 'idle\npress confirm\nidle\nexpect-scene 2\npress confirm\nexpect-scene 3\nidle\nwait 30\n'
}

# Script lines: from the start-up screen into the extra stage select, list shown.
enter_extra_list() {
    printf 'idle\npress confirm\nidle\nexpect-scene 2\npress down\npress confirm\nexpect-scene 3\nidle\nwait 30\n'
}

# Script lines: decide on the stage under the cursor and play MOVES to its clear, back on
# the list afterwards.
play_to_clear() {
    printf 'press confirm\nexpect-scene 4\nidle\nwait 2\nexpect-scene 4\nclear-draws\n'
    moves_to_script "$1"
    printf 'wait 1\nexpect-drawn dialogue.png 0 192\n'
    printf 'expect-scene 4\npress confirm\nexpect-scene 4\nwait 600\npress confirm\nwait 1\nexpect-scene 3\n'
    printf 'idle\nwait 30\n'
}

# The best record of the stage NAME (UTF-8) of table KIND (normal, extra) in save FILE.
record_in() {
    "$SQLITE" "$1" "SELECT best_record FROM result_stage_$2 WHERE hex(name) = '$(shift_jis_hex "$3")'"
}
