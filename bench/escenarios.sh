#!/usr/bin/env bash
# The benchmark's scenarios, each on a farm of its own that is torn down afterwards:
#   a  4 sticks at 20 MB/s (one with 4096-byte sectors), the mixed data set
#   b  8 sticks at 20 MB/s (two with 4096-byte sectors), the mixed data set
#   c  3 sticks at 30 MB/s and one at 5 MB/s, a memory budget of 128 MiB
#   d  4 sticks at 20 MB/s, the small files alone
#   e  a source read at 30 MB/s feeding 4 sticks at 20 MB/s
#   f  4 sticks at 20 MB/s, the tiny files alone (20,000 of 1 to 8 KiB)
#   g  1 stick at 20 MB/s, the tiny files alone
#   h  16 sticks at 10 MB/s, the mixed data set (sticks of 2 GiB: 16 sparse images on disk)
#   r  4 sticks not throttled, the farm's images in memory (/dev/shm); before the copies, dd
#      oflag=direct in 2 MiB blocks writes the same bytes to every stick at once, three times:
#      the fastest pass's rate per stick is their physical limit
#   w  as a, with the status page served to 500 clients that send a byte a second
#   v  as a, with the sticks read at 40 MB/s: the copy read back
#      (timed until every stick is verified, against bytes / write rate + bytes / read rate)
#
#   escenarios.sh [--escala S] [--salida DIR] [--solo orsanta|cp] [--sin-verificar]
#                 [SCENARIO...]                                 (default: a to e, in order)
#
# --escala scales the data set down for smoke runs; --solo runs one tool only; --sin-verificar
# runs Orsanta without its read-back (for what the read-back costs). Reports and timelines go to
# DIR (default /tmp/bench-resultados); the bench_copia binary is $BENCH_COPIA (default
# /tmp/build-bench/bench/bench_copia); the farm is made in $GRANJA_DIR (see granja.sh). Needs
# root.
set -euo pipefail

AQUI=$(cd "$(dirname "$0")" && pwd)
BENCH_COPIA=${BENCH_COPIA:-/tmp/build-bench/bench/bench_copia}
export GRANJA_DIR=${GRANJA_DIR:-/tmp/bench-granja}
escala=1
salida=/tmp/bench-resultados
opciones_bench=()
granja_arriba=0

uso() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0" >&2; exit 2; }

bajar() {
  if [ "$granja_arriba" -eq 1 ]; then
    granja_arriba=0
    "$AQUI/granja.sh" down
  fi
}
trap bajar EXIT
trap 'echo "escenarios.sh: interrupted" >&2; exit 130' INT TERM

# Runs bench_copia in a mount namespace of its own, where the loop volumes that are not the
# farm's are unmounted: test volumes of other people on this machine then add no rows to the
# program's device list while it is measured. Nothing changes outside it.
aislado() {
  # shellcheck disable=SC2016  # expanded by the inner shell
  unshare --mount --propagation private -- bash -c '
    set -euo pipefail
    findmnt -rn -o SOURCE,TARGET | while read -r fuente punto; do
      if [[ $fuente == /dev/loop* && $punto != "$GRANJA_DIR"/* ]]; then umount -l "$punto" || echo "cannot hide $punto" >&2; fi
    done
    exec "$@"' aislado "$@"
}

# The same bytes as the data set written to every stick at once by dd with O_DIRECT in 2 MiB
# blocks, then each stick synced, timed as a whole; three passes, the sticks emptied after each.
# Appends a line per pass to the report file given and prints the fastest pass's rate per stick
# in MB/s: the first pass on a new farm is much slower (6.1 s against 1.1 to 2.0 s for the later
# ones in a trial), and the copies that follow meet a farm already written once.
dd_a_la_vez() {
  local informe=$1 bytes bloques palos=() p pase inicio fin segundos mejor=0
  bytes=$(find "$GRANJA_DIR/mnt/BENCH_ORIGEN" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  bloques=$(( (bytes + 2097151) / 2097152 ))
  bytes=$(( bloques * 2097152 ))
  mapfile -t palos < <(awk '$1 == "palo" { print $3 }' "$GRANJA_DIR/granja")
  for pase in 1 2 3; do
    sync
    inicio=$(date +%s.%N)
    for p in "${palos[@]}"; do
      dd if=/dev/zero of="$p/dd.bin" bs=2M count="$bloques" oflag=direct status=none &
    done
    wait
    for p in "${palos[@]}"; do sync -f "$p/dd.bin"; done
    fin=$(date +%s.%N)
    for p in "${palos[@]}"; do rm -f "$p/dd.bin"; done
    segundos=$(awk -v i="$inicio" -v f="$fin" 'BEGIN { print f - i }')
    awk -v b="$bytes" -v n="${#palos[@]}" -v t="$segundos" -v pase="$pase" 'BEGIN {
      printf "dd oflag=direct bs=2M, pass %d: %d bytes to each of %d sticks at once, then synced: %.2f s, %.1f MB/s per stick, %.1f MB/s in all\n", pase, b, n, t, b / t / 1e6, n * b / t / 1e6 }' \
      >>"$informe"
    mejor=$(awk -v b="$bytes" -v t="$segundos" -v m="$mejor" 'BEGIN { r = b / t / 1e6; printf "%.3f", (r > m ? r : m) }')
  done
  sync
  echo "$mejor"
}

# SCENARIO "granja.sh up options" "datos.py options" "bench_copia options" [dd]
correr() {
  local nombre=$1 granja=$2 datos=$3 bench=$4 limite=""
  echo "== scenario $nombre: granja.sh up $granja; datos.py $datos; bench_copia $bench" \
    | tee "$salida/escenario-$nombre.txt"
  # shellcheck disable=SC2086  # the option strings are word lists
  {
    granja_arriba=1
    "$AQUI/granja.sh" up $granja >/dev/null
    "$AQUI/datos.py" "$GRANJA_DIR/mnt/BENCH_ORIGEN" --escala "$escala" $datos
    if [ "${5:-}" = dd ]; then
      limite="--mbps-dd $(dd_a_la_vez "$salida/escenario-$nombre.txt")"
      tail -n 3 "$salida/escenario-$nombre.txt"
    fi
    aislado "$BENCH_COPIA" --granja "$GRANJA_DIR/granja" --linea-tiempo "$salida/escenario-$nombre" $bench \
      $limite "${opciones_bench[@]}" | tee -a "$salida/escenario-$nombre.txt" \
      || echo "scenario $nombre: bench_copia failed" >&2
    bajar
  }
}

escenarios=()
while [ $# -gt 0 ]; do
  case $1 in
    --escala) escala=$2; shift 2 ;;
    --salida) salida=$2; shift 2 ;;
    --solo) opciones_bench+=(--solo "$2"); shift 2 ;;
    --sin-verificar) opciones_bench+=(--sin-verificar); shift ;;
    [a-hrvw]) escenarios+=("$1"); shift ;;
    *) uso ;;
  esac
done
[ ${#escenarios[@]} -gt 0 ] || escenarios=(a b c d e)
[ "$(id -u)" -eq 0 ] || { echo "escenarios.sh: must run as root" >&2; exit 1; }
[ -x "$BENCH_COPIA" ] || { echo "escenarios.sh: no $BENCH_COPIA; build with -DORSANTA_BUILD_BENCH=ON" >&2; exit 1; }
mkdir -p "$salida"

for e in "${escenarios[@]}"; do
  case $e in
    a) correr a "--palos 4 --mbps 20 --sector4k 4" "" "--presupuesto 1024" ;;
    b) correr b "--palos 8 --mbps 20 --sector4k 7,8" "" "--presupuesto 1024" ;;
    c) correr c "--palos 4 --mbps 30 --mbps-palo 4=5" "" "--presupuesto 128" ;;
    d) correr d "--palos 4 --mbps 20" "--partes pequenos" "--presupuesto 1024" ;;
    e) correr e "--palos 4 --mbps 20 --origen-mbps 30" "" "--presupuesto 1024" ;;
    f) correr f "--palos 4 --mbps 20" "--partes diminutos" "--presupuesto 1024" ;;
    g) correr g "--palos 1 --mbps 20" "--partes diminutos" "--presupuesto 1024" ;;
    h) correr h "--palos 16 --mbps 10 --talla-palo 2" "" "--presupuesto 1024" ;;
    r) correr r "--palos 4 --mbps 0 --en-memoria" "" "--presupuesto 1024" dd ;;
    w) correr w "--palos 4 --mbps 20 --sector4k 4" "" "--presupuesto 1024 --clientes-lentos 500" ;;
    v) correr v "--palos 4 --mbps 20 --sector4k 4 --lectura-mbps 40" "" "--presupuesto 1024" ;;
  esac
done
