#!/usr/bin/env bash
# Makes the README's screenshots on Qt's offscreen platform, with a fake drive table (a source
# and four sticks in different states), so that they show the window as it is now. Writes
# docs/capturas/ventana.png, aviso.png and ajustes.png.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target capturas
QT_QPA_PLATFORM=offscreen build/default/tests/capturas docs/capturas
