#!/bin/sh
# The copyright file that ships names every licence that applies to what ships, worked out
# here independently of the packaging: the font files the content generators set text with
# (read from the content definitions) are traced to their Debian packages with dpkg -S, and
# each licence such a package states for its fonts must be in COPYRIGHT with the package's
# own wording. Also the format's own rule: every licence a Files paragraph names has a
# stand-alone paragraph with its text.
#   licences.sh COPYRIGHT SOURCE_DIR
COPYRIGHT=$1 SOURCE=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -r "$COPYRIGHT" ] || fail "no copyright file $COPYRIGHT"
command -v dpkg >/dev/null 2>&1 || { echo "SKIP: no dpkg to trace the fonts to their packages"; exit 77; }

# The stand-alone licence paragraph NAME of FILE (first line "License: NAME"), blanks cut.
paragraph() {
    awk -v name="$2" 'BEGIN { RS = "" } index($0, "License: " name "\n") == 1 { print; exit }' "$1" | sed 's/[ \t]*$//'
}

fonts=$(grep -ho '/usr/share/fonts/[^ ")]*\.[ot]tf' "$SOURCE"/content/pictures/*.pic "$SOURCE"/content/fonts/CMakeLists.txt | sort -u)
[ -n "$fonts" ] || fail "no font named in the content definitions"
for font in $fonts; do
    package=$(dpkg -S "$font" 2>/dev/null | head -n 1 | cut -d: -f1)
    [ -n "$package" ] || fail "$font belongs to no installed package"
    source=/usr/share/doc/$package/copyright
    [ -r "$source" ] || fail "$package has no $source"
    # The licences of the package's Files paragraphs other than its packaging (debian/*).
    licences=$(awk 'BEGIN { RS = "" } /^Files:/ && !/^Files: debian\// {
                   n = split($0, lines, "\n")
                   for (i = 1; i <= n; ++i) if (lines[i] ~ /^License: /) print substr(lines[i], 10) }' "$source" | sort -u)
    [ -n "$licences" ] || fail "$source names no licence for its files"
    for licence in $licences; do
        theirs=$(paragraph "$source" "$licence")
        [ -n "$theirs" ] || fail "$source has no text for $licence"
        ours=$(paragraph "$COPYRIGHT" "$licence")
        [ -n "$ours" ] || fail "$font ($package) is under $licence, which the copyright file does not state"
        [ "$ours" = "$theirs" ] || fail "the copyright file's $licence differs from $package's own text"
    done
    grep -q "$package" "$COPYRIGHT" || fail "the copyright file does not name $package, whose $font is used"
done

# Every short name in a Files paragraph's License line ("a and (b or c)") has its text.
names=$(awk 'BEGIN { RS = "" } /^Files:/ { n = split($0, lines, "\n")
             for (i = 1; i <= n; ++i) if (lines[i] ~ /^License: /) print substr(lines[i], 10) }' "$COPYRIGHT" |
        tr '()' '  ' | tr ' ' '\n' | grep -v -e '^$' -e '^and$' -e '^or$' | sort -u)
for name in $names; do
    [ -n "$(paragraph "$COPYRIGHT" "$name" | sed -n 2p)" ] || fail "the licence $name has no stand-alone paragraph with its text"
done
exit 0
