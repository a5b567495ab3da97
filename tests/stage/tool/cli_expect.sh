#!/bin/sh
# cli_expect.sh EXIT REGEX COMMAND...: runs COMMAND and passes when it exits with EXIT and
# its standard output and error together match the extended regular expression REGEX.
# The output is matched as one line with its line breaks written as '~', so REGEX can
# span lines: "^fewest turns: 1~TR$".
expected=$1
pattern=$2
shift 2
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -ne "$expected" ]; then
  echo "exit code $status, expected $expected"
  exit 1
fi
if ! printf '%s' "$output" | tr '\n' '~' | grep -Eq -- "$pattern"; then
  echo "output does not match: $pattern"
  exit 1
fi
