#!/bin/sh
# The game installed as a player gets it, then played by a player who cannot write it.
#   prefix: `cmake --install` of the build into a scratch prefix;
#   deb:    the Debian package built with cpack (its contents and dependencies checked),
#           unpacked with `dpkg -x` into a scratch root (prefix /usr).
# Then the tree is checked (the program, plug-ins, pack, save file, extra stages, the
# launcher link, the desktop entry and AppStream metadata through their validators, the icons
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
for tool in desktop-file-validate appstreamcli file; do
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
        for path in ./usr/lib/tomarugi/tomarugi ./usr/lib/tomarugi/Wave.lmp ./usr/lib/tomarugi/Tessera.lmp \
                    ./usr/lib/tomarugi/Common.lmp ./usr/lib/tomarugi/OggVorbis.lmp ./usr/lib/tomarugi/data.lpk \
                    ./usr/lib/tomarugi/tomarugi.save ./usr/bin/tomarugi ./usr/share/applications/tomarugi.desktop \
                    ./usr/share/icons/hicolor/48x48/apps/tomarugi.png ./usr/share/icons/hicolor/256x256/apps/tomarugi.png \
                    ./usr/share/metainfo/org.tomarugi.tomarugi.metainfo.xml; do
            printf '%s\n' "$contents" | grep -q " $path\( \|$\)" || fail "the package does not hold $path"
        done
        depends=$(dpkg-deb -f "$deb" Depends)
        for library in libsdl2 libsqlite3 libvorbisfile libsodium; do
            printf '%s\n' "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
        done
        dpkg -x "$deb" "$work/root" || fail "dpkg -x failed"
        prefix=$work/root/usr
        ;;
    *) fail "unknown mode $MODE" ;;
esac

game=$prefix/lib/tomarugi
for file in tomarugi Wave.lmp Tessera.lmp Common.lmp OggVorbis.lmp data.lpk tomarugi.save; do
    [ -f "$game/$file" ] || fail "$game/$file is not installed"
done
ls "$game"/data/stage/extra/*.pzd >/dev/null 2>&1 || fail "no extra stages installed in $game/data/stage/extra"
[ "$("$SQLITE" "$game/tomarugi.save" "SELECT count(*) FROM system_config WHERE id = 1")" = 1 ] ||
    fail "the installed save file has no settings row"
[ "$(readlink -f "$prefix/bin/tomarugi")" = "$(readlink -f "$game/tomarugi")" ] ||
    fail "$prefix/bin/tomarugi does not lead to the program"
case $(readlink "$prefix/bin/tomarugi") in /*) fail "the launcher link is absolute: the tree would not move" ;; esac
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
