#!/usr/bin/env bash
# Checks that the folders depend one way: a file includes only files of its own folder or of a
# folder below it, and nothing under the program core includes Qt.
#   platform <- records <- engine <- app <- web <- gui
# Prints every include that breaks the order and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(platform records engine app web gui)
status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  folder=${layers[i]}
  for ((j = i + 1; j < ${#layers[@]}; j++)); do
    above=${layers[j]}
    if grep -rn --include='*.h' --include='*.cpp' "^#include \"$above/" "$folder"; then
      echo "^ $folder/ must not include $above/" >&2
      status=1
    fi
  done
done
for folder in platform records engine app web; do
  if grep -rnE --include='*.h' --include='*.cpp' '^#include <Q[A-Za-z]*>' "$folder"; then
    echo "^ $folder/ must build without Qt" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers: platform <- records <- engine <- app <- web <- gui, no Qt below gui"
exit $status
