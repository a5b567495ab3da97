#!/bin/sh
# The game installed as a player gets it, then played by a player who cannot write it.
#   prefix: `cmake --install` of the build into a scratch prefix;
#   deb:    the Debian package built with cpack (its contents and dependencies checked),
#           unpacked with `dpkg -x` into a scratch root (prefix /usr).
# The package must pass lintian without an error or a warning.
# Then the tree is checked (the program, plug-ins, pack, save file, extra stages, the stage
# tool, the launcher links, the manual pages through man's own warnings, the copyright file and
# changelog, the desktop entry and AppStream metadata through their validators, the icons
# at their sizes, no missing shared library), made read-only, and played as an unprivileged
# player with a scratch HOME: a normal stage played to its clear stores its record in
# $HOME/.local/share/tomarugi/tomarugi.save, and a second run shows that record on the stage
# select. Nothing in the installed tree changes.
#   installed-game.sh MODE HARNESS BUILD_DIR SOLUTIONS SQLITE3 VERSION
MODE=$1 HARNESS=$2 BUILD=$3 SOLUTIONS=$4 SQLITE=$5 VERSION=$6
here=$(dirname "$0")
. "$here/../badinput/common.sh"
. "$here/common.sh"

can_play_as_player || { echo "SKIP: running as root without setpriv, so the game cannot be played as a player"; exit $SKIP; }
for tool in desktop-file-validate appstreamcli file man; do
    command -v $tool >/dev/null 2>&1 || fail "$tool is missing (scripts/setup-debian installs it)"
done
make_work_dir

case $MODE in
    prefix)
        prefix=$work/prefix
        cmake --install "$BUILD" --prefix "$prefix" >"$work/install.log" 2>&1 ||
            { cat "$work/install.log" >&2; fail "cmake --install failed"; }
        ;;
    deb)
        command -v dpkg-deb >/dev/null 2>&1 || fail "dpkg-deb is missing"
        arch=$(dpkg --print-architecture)
        (cd "$BUILD" && cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
            { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
        deb=$work/package/tomarugi_${VERSION}_$arch.deb
        [ -f "$deb" ] || { ls "$work/package" >&2; fail "no package named $(basename "$deb")"; }
        contents=$(dpkg-deb --contents "$deb") || fail "dpkg-deb cannot list $deb"
        for path in ./usr/lib/games/tomarugi/tomarugi ./usr/lib/games/tomarugi/Wave.lmp ./usr/lib/games/tomarugi/Tessera.lmp \
                    ./usr/lib/games/tomarugi/Common.lmp ./usr/lib/games/tomarugi/OggVorbis.lmp ./usr/lib/games/tomarugi/data.lpk \
                    ./usr/lib/games/tomarugi/tomarugi.save ./usr/lib/games/tomarugi/tomarugi-stage \
                    ./usr/games/tomarugi ./usr/games/tomarugi-stage ./usr/share/applications/tomarugi.desktop \
                    ./usr/share/man/man6/tomarugi.6.gz ./usr/share/man/man6/tomarugi-stage.6.gz \
                    ./usr/share/doc/tomarugi/copyright ./usr/share/doc/tomarugi/changelog.gz \
                    ./usr/share/icons/hicolor/48x48/apps/tomarugi.png ./usr/share/icons/hicolor/256x256/apps/tomarugi.png \
                    ./usr/share/metainfo/org.tomarugi.tomarugi.metainfo.xml; do
            printf '%s\n' "$contents" | grep -q " $path\( \|$\)" || fail "the package does not hold $path"
        done
        depends=$(dpkg-deb -f "$deb" Depends)
        for library in libsdl2 libsqlite3 libvorbisfile libsodium; do
            printf '%s\n' "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
        done
        command -v lintian >/dev/null 2>&1 || fail "lintian is missing (scripts/setup-debian installs it)"
        # Errors and warnings fail; an override must carry its reason (packaging/lintian-overrides).
        lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
            { cat "$work/lintian.log" >&2; fail "lintian finds errors or warnings in $(basename "$deb")"; }
        dpkg -x "$deb" "$work/root" || fail "dpkg -x failed"
        prefix=$work/root/usr
        ;;
    *) fail "unknown mode $MODE" ;;
esac

game=$prefix/lib/games/tomarugi
for file in tomarugi tomarugi-stage Wave.lmp Tessera.lmp Common.lmp OggVorbis.lmp data.lpk tomarugi.save; do
    [ -f "$game/$file" ] || fail "$game/$file is not installed"
done
ls "$game"/data/stage/extra/*.pzd >/dev/null 2>&1 || fail "no extra stages installed in $game/data/stage/extra"
[ "$("$SQLITE" "$game/tomarugi.save" "SELECT count(*) FROM system_config WHERE id = 1")" = 1 ] ||
    fail "the installed save file has no settings row"
for command in tomarugi tomarugi-stage; do
    [ "$(readlink -f "$prefix/games/$command")" = "$(readlink -f "$game/$command")" ] ||
        fail "$prefix/games/$command does not lead to $game/$command"
    case $(readlink "$prefix/games/$command") in /*) fail "the $command link is absolute: the tree would not move" ;; esac
    page=$prefix/share/man/man6/$command.6.gz
    gzip -t "$page" 2>/dev/null || fail "$page is not a gzip file"
    # man's own check of the page: any warning of the formatter is printed and fails.
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    zcat "$page" | grep -q "^\.TH $(printf '%s' "$command" | tr a-z A-Z | sed 's/-/\\\\-/g') 6 " ||
        fail "$page is not the section 6 page of $command"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$prefix/share/doc/tomarugi/copyright" ||
    fail "the copyright file is not in the machine-readable format"
zcat "$prefix/share/doc/tomarugi/changelog.gz" | head -n 1 | grep -q "^tomarugi ($VERSION) " ||
    fail "the changelog's newest entry is not version $VERSION"
# The stage tool as a player runs it from the games folder: it checks a shipped extra stage.
extra_stage=$(ls "$game"/data/stage/extra/*.pzd | head -n 1)
"$prefix/games/tomarugi-stage" validate "$extra_stage" >"$work/validate.log" 2>&1 ||
    { cat "$work/validate.log" >&2; fail "the installed tomarugi-stage cannot validate $extra_stage"; }
missing=$(ldd "$game/tomarugi" "$game"/*.lmp | grep "not found")
[ -z "$missing" ] || fail "shared libraries not found: $missing"
desktop-file-validate "$prefix/share/applications/tomarugi.desktop" || fail "the desktop entry does not validate"
grep -qx 'Categories=Game;LogicGame;' "$prefix/share/applications/tomarugi.desktop" || fail "desktop entry categories"
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml) || fail "no AppStream metadata"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "the AppStream metadata does not validate"; }
for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/tomarugi.png
    file "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not a $size x $size PNG"
done

# Read-only, as a system's files are to a player; a listing to compare afterwards.
chmod -R a+rX,a-w "$prefix"
snapshot() { (cd "$prefix" && find . -printf '%p %s %T@ %m\n' | sort); }
before=$(snapshot)

stage=練習問題１.pzd # the first line of the normal list
turns=$(turns_of $stage) moves=$(solution_of $stage)
[ -n "$turns" ] && [ -n "$moves" ] || fail "no solution for $stage in $SOLUTIONS"
{
    enter_normal_list
    echo "expect-number 96 0"
    play_to_clear "$moves"
    echo "expect-save record normal $stage $turns"
} >"$work/first.script"
{
    enter_normal_list
    echo "frames 1"
    echo "expect-number 96 $turns"
} >"$work/second.script"

play_as_player "$work/first.script" "$game" || { cat "$work/stderr" >&2; fail "the first run failed"; }
save=$home/.local/share/tomarugi/tomarugi.save
[ -f "$save" ] || fail "no save file in the player's data folder"
[ "$(record_in "$save" normal "$stage")" = "$turns" ] || fail "the record of $stage is not $turns in $save"
[ ! -s "$work/stderr" ] || { cat "$work/stderr" >&2; fail "the first run complained"; }
play_as_player "$work/second.script" "$game" ||
    { cat "$work/stderr" >&2; fail "the second run does not show the record on the stage select"; }
[ "$(snapshot)" = "$before" ] || fail "the installed tree changed while the game ran"
exit 0
