#!/bin/sh
# Writes the Debian copyright file OUT: the project's own part IN (already configured),
# then the stand-alone licence paragraphs of the Debian packages whose files ship inside
# the game (fonts baked into pictures and font pages, stb compiled into the program), taken
# word for word from those packages' own copyright files on this machine.
#   copyright.sh OUT IN PACKAGE:LICENCE...
# Fails when a package or one of its licence paragraphs is missing: a copyright file
# without a licence that applies is worse than no package.
set -eu
out=$1 in=$2
shift 2
tmp=$out.tmp
cp "$in" "$tmp"
for item in "$@"; do
    package=${item%%:*} licence=${item#*:}
    source=/usr/share/doc/$package/copyright
    [ -r "$source" ] || { echo "copyright.sh: $source is missing (install $package)" >&2; rm -f "$tmp"; exit 1; }
    # Paragraph mode: the paragraph whose first line is "License: <name>", trailing blanks cut.
    text=$(awk -v name="$licence" 'BEGIN { RS = "" } index($0, "License: " name "\n") == 1 { print; exit }' "$source" |
           sed 's/[ \t]*$//')
    [ -n "$text" ] || { echo "copyright.sh: $source has no paragraph License: $licence" >&2; rm -f "$tmp"; exit 1; }
    # The same licence may come from two packages (IPA-1): one paragraph is enough.
    if ! grep -qx "License: $licence" "$tmp"; then
        printf '\n%s\n' "$text" >>"$tmp"
    fi
done
mv "$tmp" "$out"
