#!/usr/bin/env bash
# Writes the seed corpus of the WAVE decoder fuzzer: a handful of tiny well-formed and
# damaged files, each a few dozen bytes. Run from anywhere; the seeds land in corpus/.
set -eu  # no pipefail: `head -c` cuts the writers short on purpose
cd "$(dirname "$0")/corpus"

le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
# fmt_body TAG CHANNELS RATE BITS: the 16-byte body of a format chunk
fmt_body() { le16 "$1"; le16 "$2"; le32 "$3"; le32 $(($3 * $2 * $4 / 8)); le16 $(($2 * $4 / 8)); le16 "$4"; }
samples() { printf '\x80\x90\xa0\xb0\xc0\xb0\xa0\x90\x80\x70\x60\x50\x40\x50\x60'; }

# riff NAME BODY-COMMANDS...: writes "RIFF" <size> followed by what the commands print.
riff() {
    local name=$1 magic=$2; shift 2
    local body; body=$(mktemp)
    "$@" > "$body"
    { printf '%s' "$magic"; le32 "$(stat -c %s "$body")"; cat "$body"; } > "$name"
    rm -f "$body"
}

pcm8()        { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 8000 8; printf 'data'; le32 15; samples; printf '\0'; }
lower16()     { printf 'wave'; printf 'fmt '; le32 16; fmt_body 1 2 44100 16; printf 'data'; le32 12; samples | head -c 12; }
odd_list()    { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 22050 8; printf 'LIST'; le32 13; printf 'INFOICMT'; le32 1; printf 'x\0'; printf 'data'; le32 8; samples | head -c 8; }
unpadded()    { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 22050 8; printf 'junk'; le32 3; printf 'abc'; printf 'data'; le32 8; samples | head -c 8; }
data_first()  { printf 'WAVE'; printf 'data'; le32 6; samples | head -c 6; printf 'fmt '; le32 16; fmt_body 1 1 8000 8; }
float32()     { printf 'WAVE'; printf 'fmt '; le32 18; fmt_body 3 1 48000 32; le16 0; printf 'data'; le32 8; samples | head -c 8; }
huge_fmt()    { printf 'WAVE'; printf 'fmt '; le32 4294967280; fmt_body 1 1 8000 8; printf 'data'; le32 4; samples | head -c 4; }
huge_data()   { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 8000 8; printf 'data'; le32 4294967295; samples; }
back_skip()   { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 8000 8; printf 'LIST'; le32 4294967288; printf 'data'; le32 4; samples | head -c 4; }
short_fmt()   { printf 'WAVE'; printf 'fmt '; le32 14; fmt_body 1 1 8000 8 | head -c 14; printf 'data'; le32 4; samples | head -c 4; }
empty_data()  { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 8000 8; printf 'data'; le32 0; }
truncated()   { printf 'WAVE'; printf 'fmt '; le32 16; fmt_body 1 1 8000 8 | head -c 9; }

riff pcm8-mono.wav RIFF pcm8
riff lower-case-16-stereo.wav riff lower16
riff odd-list-padded.wav RIFF odd_list
riff odd-chunk-unpadded.wav RIFF unpadded
riff data-before-fmt.wav RIFF data_first
riff float32.wav RIFF float32
riff huge-fmt-size.wav RIFF huge_fmt
riff huge-data-size.wav RIFF huge_data
riff negative-chunk-size.wav RIFF back_skip
riff short-fmt.wav RIFF short_fmt
riff empty-data.wav RIFF empty_data
riff truncated.wav RIFF truncated
riff wrong-magic.wav RIFX pcm8
