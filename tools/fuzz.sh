#!/usr/bin/env bash
# Builds the fuzz target of the file readers with clang and libFuzzer (AddressSanitizer and
# UBSan on) and runs it for a fixed time from a small seed corpus of valid records.
# Usage: tools/fuzz.sh [seconds (30)] [build folder (build/fuzz)]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${2:-build/fuzz}

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORSANTA_BUILD_WINDOW=OFF \
  -DORSANTA_SANITIZER=address -DORSANTA_FUZZ=ON >/dev/null
cmake --build "$build" --target lectores_fuzz -j "$(nproc)"

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Seeds: the text "ab", the source part of a record named "ab", a listing of two such records,
# an empty listing, and a copy-list record with one destination.
texto='\x02\x00\x00\x00\x61\x00\x62\x00'
hora='\x44\x33\x22\x11\x9a\x71\xd7\x01'
origen="$texto"'\x05\x00\x00\x00\x00\x00\x00\x00'"$hora$hora$hora"'\x20\x00\x00\x00'
printf "$texto" >"$corpus/texto"
printf "$origen" >"$corpus/origen"
printf '\x43\xa6\x00\x00\x02\x00\x00\x00'"$origen$origen" >"$corpus/listado"
printf '\x43\xa6\x00\x00\x00\x00\x00\x00' >"$corpus/listado_vacio"
printf "$origen$texto"'\x01\x00\x00\x00\x44\x33\x22\x11' >"$corpus/registro"

# A single allocation above the limit is a failure: no reader may size anything by a count it
# has not checked against the bytes. Inputs that fail are kept in the build folder.
mkdir -p "$build/artefactos"
"$build/tests/lectores_fuzz" -max_total_time="$seconds" -malloc_limit_mb=64 \
  -artifact_prefix="$build/artefactos/" "$corpus"
