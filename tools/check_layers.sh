#!/usr/bin/env bash
# Checks that the folders depend one way: a file includes only files of its own folder or of a
# folder on a level below it, and nothing under the window includes Qt. Folders on one level
# (web and cli, the status page and the command line, both on top of the program core) do not
# include each other.
#   platform <- records <- engine <- app <- web, cli <- gui
# Prints every include that breaks the order and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "$0")/.."
levels=(platform records engine app "web cli" gui)
status=0
for ((i = 0; i < ${#levels[@]}; i++)); do
  for folder in ${levels[i]}; do
    # Every folder on this level but itself, and every folder above.
    forbidden=()
    for other in ${levels[i]}; do
      [ "$other" != "$folder" ] && forbidden+=("$other")
    done
    for ((j = i + 1; j < ${#levels[@]}; j++)); do
      forbidden+=(${levels[j]})
    done
    for above in "${forbidden[@]}"; do
      if grep -rn --include='*.h' --include='*.cpp' "^#include \"$above/" "$folder"; then
        echo "^ $folder/ must not include $above/" >&2
        status=1
      fi
    done
  done
done
for folder in platform records engine app web cli; do
  if grep -rnE --include='*.h' --include='*.cpp' '^#include <Q[A-Za-z]*>' "$folder"; then
    echo "^ $folder/ must build without Qt" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers: platform <- records <- engine <- app <- web, cli <- gui, no Qt below gui"
exit $status
