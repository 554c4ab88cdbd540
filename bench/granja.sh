#!/usr/bin/env bash
# The stick farm: loop-mounted ext4 volumes with their own label and serial, write-throttled with
# the blkio controller like USB sticks, and a source volume.
#
#   granja.sh up [--palos N] [--mbps R] [--mbps-palo I=R]... [--sector4k I[,J...]|all]
#                [--lectura-mbps R] [--origen-mbps R] [--talla-palo GiB] [--talla-origen GiB]
#                [--en-memoria]
#   granja.sh down
#
# Rates are decimal MB/s (10^6 bytes per second), as sticks are rated; 0 means not throttled.
# --lectura-mbps throttles every stick's reads (a copy's read-back), --origen-mbps the source's.
# --en-memoria puts the images in /dev/shm (a folder named after the farm's) and mounts the
# volumes with online discard, so that a deleted file gives its memory back: every copy then
# writes into holes of the image, as the first did, and the images hold one copy at most.
# The farm lives in $GRANJA_DIR (default /tmp/bench-granja); its file "granja" describes it, one
# volume per line:
#   origen|palo LABEL MOUNT_POINT DEVICE MAJ:MIN WRITE_BPS READ_BPS SECTOR_SIZE DEBUGFS
# Every resource is journalled in "recursos" as it is made, so that "down" undoes exactly what
# exists, also after a failed or interrupted "up".
set -euo pipefail
shopt -s inherit_errexit

DIR=${GRANJA_DIR:-/tmp/bench-granja}
BLKIO=/sys/fs/cgroup/blkio
RECURSOS=$DIR/recursos

die() { echo "granja.sh: $*" >&2; exit 1; }

uso() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0" >&2; exit 2; }

# bytes per second from decimal MB/s ("20", "2.5")
bps() { awk -v r="$1" 'BEGIN { if (r !~ /^[0-9]+(\.[0-9]+)?$/) exit 1; printf "%d", r * 1000000 }' \
  || die "bad rate: $1"; }

anotar() { echo "$*" >>"$RECURSOS"; }

limitar() {  # FILE MAJ:MIN BPS
  [ "$3" -gt 0 ] || return 0
  echo "$2 $3" >"$BLKIO/$1"
  anotar limite "$1" "$2"
}

down() {
  [ -f "$RECURSOS" ] || { echo "granja.sh: no farm in $DIR" >&2; return 0; }
  local fallos=0 tipo a b
  # Newest first: limits, then mounts, then loop devices, then images.
  while read -r tipo a b; do
    case $tipo in
      limite) echo "$b 0" >"$BLKIO/$a" || fallos=1 ;;
      montaje | debugfs)
        if mountpoint -q "$a"; then umount "$a" || fallos=1; fi
        rmdir "$a" 2>/dev/null || true ;;
      # Only while it still holds our image: a freed number may since serve someone else.
      loop) if [ "$(losetup -nO BACK-FILE "$a" 2>/dev/null)" = "$b" ]; then losetup -d "$a" || fallos=1; fi ;;
      imagen) rm -f "$a" ;;
      carpeta) rmdir "$a" 2>/dev/null || true ;;
    esac
  done < <(tac "$RECURSOS")
  [ "$fallos" -eq 0 ] || die "down left something behind; see $RECURSOS"
  rm -f "$DIR/granja" "$DIR/granja.tmp" "$RECURSOS"
  rmdir "$DIR/mnt" "$DIR"
}

# LABEL UUID GiB SECTOR -> appends the volume's line fields "MOUNT DEVICE MAJ:MIN" to stdout
# The images go to $IMAGENES, the mounts take $OPCIONES_MONTAJE.
volumen() {
  local label=$1 uuid=$2 talla=$3 sector=$4
  local imagen=$IMAGENES/$label.img montaje=$DIR/mnt/$label dev
  anotar imagen "$imagen"
  truncate -s "${talla}G" "$imagen"
  # Direct I/O on the backing file: the image's own pages must not show up as dirty memory.
  dev=$(losetup --find --show --direct-io=on --sector-size "$sector" "$imagen")
  anotar loop "$dev" "$imagen"
  # Inode tables and journal written now, so that no background init competes with a run.
  mkfs.ext4 -q -F -L "$label" -U "$uuid" -b 4096 -E lazy_itable_init=0,lazy_journal_init=0 "$dev" >&2
  mkdir -p "$montaje"
  mount -o "$OPCIONES_MONTAJE" "$dev" "$montaje"
  anotar montaje "$montaje"
  echo "$montaje $dev $(lsblk -dno MAJ:MIN "$dev" | tr -d ' ')"
}

up() {
  local palos=2 mbps=20 lectura_mbps=0 origen_mbps=0 talla_palo=4 talla_origen=3 sector4k=""
  local en_memoria=0
  declare -A mbps_palo=()
  while [ $# -gt 0 ]; do
    case $1 in
      --palos) palos=$2 ;;
      --mbps) mbps=$2 ;;
      --mbps-palo) mbps_palo[${2%%=*}]=${2#*=} ;;
      --sector4k) sector4k=$2 ;;
      --lectura-mbps) lectura_mbps=$2 ;;
      --origen-mbps) origen_mbps=$2 ;;
      --talla-palo) talla_palo=$2 ;;
      --talla-origen) talla_origen=$2 ;;
      --en-memoria) en_memoria=1; shift; continue ;;
      *) uso ;;
    esac
    shift 2 || uso
  done
  [[ $palos =~ ^[1-9][0-9]?$ ]] || die "bad --palos: $palos"
  [ ! -e "$DIR" ] || die "$DIR exists: the farm is up; run '$0 down' first"
  [ -w "$BLKIO/blkio.throttle.write_bps_device" ] || die "no cgroup v1 blkio at $BLKIO"

  mkdir -p "$DIR/mnt"
  : >"$RECURSOS"
  trap 'echo "granja.sh: up failed or interrupted; tearing down" >&2; trap - ERR INT TERM; down; exit 1' \
    ERR INT TERM

  IMAGENES=$DIR OPCIONES_MONTAJE=defaults
  if [ "$en_memoria" -eq 1 ]; then
    IMAGENES=/dev/shm/$(basename "$DIR")
    [ ! -e "$IMAGENES" ] || die "$IMAGENES exists: another farm's images?"
    mkdir "$IMAGENES"
    anotar carpeta "$IMAGENES"
    OPCIONES_MONTAJE=discard
  fi

  local debugfs=/sys/kernel/debug
  if [ ! -d "$debugfs/bdi" ]; then
    debugfs=$DIR/debugfs
    mkdir -p "$debugfs"
    mount -t debugfs none "$debugfs"
    anotar debugfs "$debugfs"
  fi

  local campos majmin leer
  campos=$(volumen BENCH_ORIGEN 0bec0000-0000-4000-8000-000000000000 "$talla_origen" 512)
  majmin=${campos##* }
  leer=$(bps "$origen_mbps")
  limitar blkio.throttle.read_bps_device "$majmin" "$leer"
  echo "origen BENCH_ORIGEN $campos 0 $leer 512 $debugfs" >"$DIR/granja.tmp"

  local i label sector escribir
  leer=$(bps "$lectura_mbps")
  for ((i = 1; i <= palos; i++)); do
    label=$(printf 'BENCH_P%02d' "$i")
    sector=512
    if [ "$sector4k" = all ] || [[ ,$sector4k, == *,$i,* ]]; then sector=4096; fi
    campos=$(volumen "$label" "$(printf '0bec00%02x-0000-4000-8000-0000000000%02x' "$i" "$i")" \
      "$talla_palo" "$sector")
    majmin=${campos##* }
    escribir=$(bps "${mbps_palo[$i]:-$mbps}")
    limitar blkio.throttle.write_bps_device "$majmin" "$escribir"
    limitar blkio.throttle.read_bps_device "$majmin" "$leer"
    echo "palo $label $campos $escribir $leer $sector $debugfs" >>"$DIR/granja.tmp"
  done
  mv "$DIR/granja.tmp" "$DIR/granja"
  trap - ERR INT TERM
  column -t "$DIR/granja"
}

[ "$(id -u)" -eq 0 ] || die "must run as root (loop devices, mounts and blkio limits)"
case ${1:-} in
  up) shift; up "$@" ;;
  down) down ;;
  *) uso ;;
esac
