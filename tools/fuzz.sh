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
volumenes=$(mktemp -d)
trap 'rm -rf "$corpus" "$volumenes"' EXIT
export ORSANTA_FUZZ_VOLUMENES="$volumenes"
# Seeds: the text "ab", the source part of a record named "ab", a listing of two such records,
# an empty listing, a copy-list record with one destination, and a whole copy list.
texto='\x02\x00\x00\x00\x61\x00\x62\x00'
hora='\x44\x33\x22\x11\x9a\x71\xd7\x01'
origen="$texto"'\x05\x00\x00\x00\x00\x00\x00\x00'"$hora$hora$hora"'\x20\x00\x00\x00'
printf "$texto" >"$corpus/texto"
printf "$origen" >"$corpus/origen"
printf '\x43\xa6\x00\x00\x02\x00\x00\x00'"$origen$origen" >"$corpus/listado"
printf '\x43\xa6\x00\x00\x00\x00\x00\x00' >"$corpus/listado_vacio"
printf "$origen$texto"'\x01\x00\x00\x00\x44\x33\x22\x11' >"$corpus/registro"
# Copy lists opened against the fake volumes: source 0x11223344 (D), destination 0x55667788
# (E), records named "ab" (a folder on D), "a" and "ab\ab" (files on D).
registro_ab="$origen$texto"'\x01\x00\x00\x00\x88\x77\x66\x55'
texto_a='\x01\x00\x00\x00\x61\x00'
origen_a="$texto_a"'\x01\x00\x00\x00\x00\x00\x00\x00'"$hora$hora$hora"'\x20\x00\x00\x00'
texto_abab='\x05\x00\x00\x00\x61\x00\x62\x00\x5c\x00\x61\x00\x62\x00'
origen_abab="$texto_abab"'\x09\x00\x00\x00\x00\x00\x00\x00'"$hora$hora$hora"'\x20\x00\x00\x00'
printf '\x44\x33\x22\x11\x03\x00\x00\x00'"$registro_ab$origen_a$texto_a"'\x01\x00\x00\x00\x88\x77\x66\x55'"$origen_abab$texto_abab"'\x01\x00\x00\x00\x88\x77\x66\x55' >"$corpus/lista"

# A single allocation above the limit is a failure: no reader may size anything by a count it
# has not checked against the bytes. Inputs that fail are kept in the build folder.
mkdir -p "$build/artefactos"
"$build/tests/lectores_fuzz" -max_total_time="$seconds" -malloc_limit_mb=64 \
  -artifact_prefix="$build/artefactos/" "$corpus"
