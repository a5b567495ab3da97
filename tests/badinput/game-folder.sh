#!/bin/sh
# A damaged or missing data pack or plug-in. Where the game cannot go on, the real program
# (a copy in a scratch folder, started under SDL's offscreen video driver and the dummy
# audio driver, with a time limit) must print exactly one line on stderr that names what
# failed and exit with a non-zero code, never hang:
#   no-pack, truncated-pack, flipped-table-byte, wrong-password
#   no-display   no video driver the platform layer can start (the engine's reason is in the line)
#   no-opengl    a video driver without OpenGL: no window
# Where it can go on, the harness plays to the title and into a puzzle; the game says so once:
#   no-wave      no WAVE decoder: the effects are silent, the music plays, one line names Wave.lmp
#   flipped-entry-byte
#                a byte of one packed file (a picture the run draws) changed: that file is refused (named on stderr),
#                the rest of the game works
#   no-tessera, no-common
#                no model shaders (pixels rendered for real): the models are not drawn, the
#                puzzle still runs; one line on stderr names the missing plug-in
#   game-folder.sh HARNESS GAME_DIR PACKER MODE
HARNESS=$1 GAME=$2 PACKER=$3 MODE=$4
. "$(dirname "$0")/common.sh"

make_game_dir
cp "$GAME/tomarugi" "$dir/" || exit 1
replace_pack() { rm -f "$dir/data.lpk"; cat > "$dir/data.lpk"; }
pack_size=$(wc -c < "$GAME/data.lpk")
flip_byte() { # flip_byte OFFSET: the game's pack with the byte at OFFSET inverted
    head -c "$1" "$GAME/data.lpk"
    head -c $(($1 + 1)) "$GAME/data.lpk" | tail -c 1 | od -An -tu1 | awk '{ printf "%c", 255 - $1 }'
    tail -c $((pack_size - $1 - 1)) "$GAME/data.lpk"
}

# The real program; its stderr in $dir.stderr, its exit code in $code.
run_game() {
    SDL_VIDEODRIVER=${VIDEO:-offscreen} SDL_AUDIODRIVER=dummy timeout 60 "$dir/tomarugi" >/dev/null 2>"$dir.stderr"
    code=$?
}
expect_refusal() { # expect_refusal PATTERN: exactly one stderr line, matching PATTERN; exit code not 0
    run_game
    [ "$code" -ne 124 ] || fail "the game hung ($MODE)"
    [ "$code" -ne 0 ] || fail "the game exited 0 without its pack ($MODE)"
    [ "$code" -lt 128 ] || fail "the game died of signal $((code - 128)) ($MODE)"
    lines=$(grep -c . "$dir.stderr")
    [ "$lines" -eq 1 ] || fail "$lines lines on stderr, not one ($MODE): $(cat "$dir.stderr")"
    grep -q "$1" "$dir.stderr" || fail "stderr does not say '$1' ($MODE): $(cat "$dir.stderr")"
}

case $MODE in
    no-display) VIDEO=no-such-driver expect_refusal "cannot start:.*platform layer" ;;
    no-opengl) VIDEO=dummy expect_refusal "cannot start: the window could not be opened (.*OpenGL" ;;
    no-pack) rm "$dir/data.lpk"; expect_refusal "data.lpk.*No such file" ;;
    truncated-pack) head -c $((pack_size / 2)) "$GAME/data.lpk" | replace_pack; expect_refusal "data.lpk.*truncated" ;;
    flipped-table-byte) flip_byte $((pack_size - 1)) | replace_pack; expect_refusal "data.lpk.*damaged" ;;
    wrong-password)
        # A pack of the right format made with another password.
        mkdir "$dir/other" && echo "stage" > "$dir/other/readme.txt" || exit 1
        rm "$dir/data.lpk"
        "$PACKER" create "$dir/data.lpk" --password not-the-games "$dir/other" >/dev/null 2>&1 ||
            fail "the packer could not build a pack"
        expect_refusal "data.lpk.*wrong password" ;;
    no-tessera|no-common)
        # The model shaders come from Tessera.lmp, which decodes them with Common.lmp: without
        # either the 3D models are not drawn. Title, menus, sounds, the panels and the stage
        # map still work and the rules run, so the game goes on; the engine names the file.
        if [ "$MODE" = no-tessera ]; then rm "$dir/Tessera.lmp"; missing=Tessera.lmp; else rm "$dir/Common.lmp"; missing=Common.lmp; fi
        script=$dir.script
        {
            echo "idle"; echo "press confirm"; echo "idle"; echo "press confirm"; echo "idle"; echo "wait 12"
            echo "press confirm"; echo "expect-scene 4"; echo "idle"; echo "wait 2"
            # One slide: the turn count (second digit at y 422, after the frogs) becomes 1.
            echo "expect-number 422 20"; echo "press right"; echo "wait 100"; echo "expect-number 422 21"
        } > "$script"
        PIXELS=--pixels run_harness "$script" || { cat "$dir.stderr" >&2; fail "the harness run failed ($MODE)"; }
        lines=$(grep -c . "$dir.stderr")
        [ "$lines" -eq 1 ] && grep -q "$missing" "$dir.stderr" ||
            fail "not one line naming $missing on stderr: $(cat "$dir.stderr")" ;;
    no-wave|flipped-entry-byte)
        if [ "$MODE" = no-wave ]; then
            rm "$dir/Wave.lmp"
        else
            # A byte in the middle of the stage select's title picture, which the run below
            # draws: entries lie one after another behind the 80-byte header in the order
            # the packer lists them, each sealed with a 16-byte tag. (Font pages are read
            # only when a glyph on them is first drawn, so a byte there might never be read.)
            offset=$("$PACKER" list "$GAME/data.lpk" --password hasunohanagasaku |
                awk -v want=graphic/sprite/stage_select_title.png \
                    'BEGIN { at = 80 } $4 == want { print at + int($2 / 2); exit } { at += $2 + 16 }')
            [ -n "$offset" ] || fail "the stage select's title picture is not in the pack"
            flip_byte "$offset" | replace_pack
        fi
        script=$dir.script
        {
            echo "idle"; echo "press confirm"; echo "idle"; echo "expect-scene 2"
            echo "expect-playing bgm_yukimichi.ogg"
            echo "press confirm"; echo "expect-scene 3"; echo "idle"; echo "wait 12"
            echo "press confirm"; echo "expect-scene 4"; echo "idle"; echo "wait 60"; echo "expect-scene 4"
            echo "press right"; echo "wait 100"; echo "press cancel"; echo "wait 100"; echo "expect-scene 4"
        } > "$script"
        run_harness "$script" || { cat "$dir.stderr" >&2; fail "the harness run failed ($MODE)"; }
        if [ "$MODE" = no-wave ]; then
            lines=$(grep -c . "$dir.stderr")
            [ "$lines" -eq 1 ] && grep -q "Wave.lmp" "$dir.stderr" ||
                fail "not one line naming Wave.lmp on stderr: $(cat "$dir.stderr")"
        else
            grep -q "data.lpk.*damaged" "$dir.stderr" && grep -q "stage_select_title.png" "$dir.stderr" ||
                fail "the damaged entry was not reported: $(cat "$dir.stderr")"
        fi ;;
    *) fail "unknown mode $MODE" ;;
esac
exit 0
