#!/usr/bin/env bash
# The benchmark's scenarios, each on a farm of its own that is torn down afterwards:
#   a  4 sticks at 20 MB/s (one with 4096-byte sectors), the mixed data set
#   b  8 sticks at 20 MB/s (two with 4096-byte sectors), the mixed data set
#   c  3 sticks at 30 MB/s and one at 5 MB/s, a memory budget of 128 MiB
#   d  4 sticks at 20 MB/s, the small files alone
#   e  a source read at 30 MB/s feeding 4 sticks at 20 MB/s
#   f  4 sticks at 20 MB/s, the tiny files alone (20,000 of 1 to 8 KiB)
#   g  1 stick at 20 MB/s, the tiny files alone
#   w  as a, with the status page served to 500 clients that send a byte a second
#   v  as a, with the sticks read at 40 MB/s: the copy read back
#      (timed until every stick is verified, against bytes / write rate + bytes / read rate)
#
#   escenarios.sh [--escala S] [--salida DIR] [SCENARIO...]   (default: a to e, in order)
#
# --escala scales the data set down for smoke runs. Reports and timelines go to DIR (default
# /tmp/bench-resultados); the bench_copia binary is $BENCH_COPIA (default
# /tmp/build-bench/bench/bench_copia); the farm is made in $GRANJA_DIR (see granja.sh). Needs
# root.
set -euo pipefail

AQUI=$(cd "$(dirname "$0")" && pwd)
BENCH_COPIA=${BENCH_COPIA:-/tmp/build-bench/bench/bench_copia}
export GRANJA_DIR=${GRANJA_DIR:-/tmp/bench-granja}
escala=1
salida=/tmp/bench-resultados
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

# SCENARIO "granja.sh up options" "datos.py options" "bench_copia options"
correr() {
  local nombre=$1 granja=$2 datos=$3 bench=$4
  echo "== scenario $nombre: granja.sh up $granja; datos.py $datos; bench_copia $bench" \
    | tee "$salida/escenario-$nombre.txt"
  # shellcheck disable=SC2086  # the option strings are word lists
  {
    granja_arriba=1
    "$AQUI/granja.sh" up $granja >/dev/null
    "$AQUI/datos.py" "$GRANJA_DIR/mnt/BENCH_ORIGEN" --escala "$escala" $datos
    aislado "$BENCH_COPIA" --granja "$GRANJA_DIR/granja" --linea-tiempo "$salida/escenario-$nombre" $bench \
      | tee -a "$salida/escenario-$nombre.txt" || echo "scenario $nombre: bench_copia failed" >&2
    bajar
  }
}

escenarios=()
while [ $# -gt 0 ]; do
  case $1 in
    --escala) escala=$2; shift 2 ;;
    --salida) salida=$2; shift 2 ;;
    [a-gvw]) escenarios+=("$1"); shift ;;
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
    w) correr w "--palos 4 --mbps 20 --sector4k 4" "" "--presupuesto 1024 --clientes-lentos 500" ;;
    v) correr v "--palos 4 --mbps 20 --sector4k 4 --lectura-mbps 40" "" "--presupuesto 1024" ;;
  esac
done
