#!/bin/sh
# Runs a harness script and checks its exit code and that its output matches a pattern
# (grep -E, on standard output and standard error together).
#   check.sh HARNESS SCRIPT EXIT_CODE PATTERN [HARNESS_OPTION]
harness=$1 script=$2 code=$3 pattern=$4 option=$5
out=$("$harness" $option "$script" 2>&1)
status=$?
if [ "$status" -ne "$code" ]; then
    printf 'exit code %s, expected %s:\n%s\n' "$status" "$code" "$out" >&2
    exit 1
fi
if ! printf '%s\n' "$out" | grep -Eq "$pattern"; then
    printf 'no line matching "%s" in:\n%s\n' "$pattern" "$out" >&2
    exit 1
fi
# A start-up line must be in order: start-up done, then the first logo, then the title.
line=$(printf '%s\n' "$out" | grep -E '^startup: first logo')
if [ -n "$line" ]; then
    logo=$(printf '%s' "$line" | sed 's/.*first logo \([0-9]*\) ms.*/\1/')
    title=$(printf '%s' "$line" | sed 's/.*title menu \([0-9]*\) ms.*/\1/')
    done=$(printf '%s' "$line" | sed 's/.*sequence done at \([0-9]*\) ms.*/\1/')
    if [ "$done" -gt "$logo" ] || [ "$logo" -gt "$title" ]; then
        printf 'start-up times out of order: %s\n' "$line" >&2
        exit 1
    fi
fi
exit 0
