#!/usr/bin/env bash
# Installs the build into a temporary prefix as `cmake --install` would for a desktop, checks the
# menu entry and the AppStream metadata with the desktop's own validators, then makes the Debian
# package and lists what it holds. Arguments: the build folder.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0
check() {  # description, command...
  local what=$1
  shift
  if "$@" >"$tmp/salida" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    sed 's/^/    /' "$tmp/salida"
  fi
}

id=org.orsanta.Orsanta
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
files=(bin/orsanta "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
       share/icons/hicolor/48x48/apps/orsanta.png share/icons/hicolor/128x128/apps/orsanta.png
       share/icons/hicolor/256x256/apps/orsanta.png share/icons/hicolor/scalable/apps/orsanta.svg)
# The command-line front end where this build makes one.
if [ -n "$(find "$build" -maxdepth 2 -name orsanta-cli -type f -perm -u+x)" ]; then files+=(bin/orsanta-cli); fi
for f in "${files[@]}"; do check "installed $f" test -s "$prefix/$f"; done
check "the installed program is executable" test -x "$prefix/bin/orsanta"
for size in 48 128 256; do
  check "icon of $size px is $size x $size" \
    grep -q "PNG image data, $size x $size" <(file "$prefix/share/icons/hicolor/${size}x${size}/apps/orsanta.png")
done
check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/$id.desktop"
check "the menu entry starts the installed program" \
  grep -qx 'Exec=orsanta' "$prefix/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"

(cd "$build" && cpack -G DEB -B "$tmp/deb" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/deb/*.deb)
dpkg -c "$deb" >"$tmp/contenido"
for f in "${files[@]}"; do check "package holds $f" grep -q " \./usr/$f\$" "$tmp/contenido"; done
dpkg -f "$deb" Depends >"$tmp/depende"
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libblkid1 qt6-qpa-plugins; do
  check "package depends on $dep" grep -q "$dep" "$tmp/depende"
done

echo "instalar: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
