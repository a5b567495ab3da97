#!/bin/sh
# Rebuilds the fuzz seeds from the tiny definitions in seeds/ with the model generator.
# Usage: fuzz/model/make-seeds.sh path/to/tomarugi-modelgen
set -e
generator=${1:?usage: make-seeds.sh path/to/tomarugi-modelgen}
here=$(dirname "$0")
for definition in "$here"/seeds/*.txt; do
  name=$(basename "$definition" .txt)
  "$generator" "$definition" "$here/corpus/$name.lmd"
done
