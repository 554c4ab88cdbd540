#!/usr/bin/env python3
"""The benchmark's data set, the same bytes, names and times for the same seed and scale.

Three top folders: grandes/ (a few files of 256 MiB), medianos/ (some tens of 8 MiB) and
pequeños/ (two thousand files of 4 to 64 KiB in a few hundred nested folders, with an empty file
and an empty folder). A fourth, diminutos/ (twenty thousand files of 1 to 8 KiB in two thousand
folders), is made only when asked for: it measures the work per file, not per byte. Sizes are not whole sectors, names carry accents, and every entry gets a
last-write time at a multiple of 100 ns, the precision the copies keep.
"""

import argparse
import os
import random
import sys

KIB = 1024
MIB = 1024 * KIB
BLOQUE = 8 * MIB
PARTES = ("grandes", "medianos", "pequenos", "diminutos")
PARTES_SIEMPRE = ",".join(PARTES[:3])
CARPETA = {"grandes": "grandes", "medianos": "medianos", "pequenos": "pequeños",
           "diminutos": "diminutos"}


def escribir(rng, ruta, talla):
    with open(ruta, "wb") as f:
        while talla > 0:
            n = min(talla, BLOQUE)
            f.write(rng.randbytes(n))
            talla -= n
    return ruta


def hora(rng):
    """Some time in 2019-2022, in ns, at a multiple of 100 ns."""
    segundos = 1546300800 + rng.randrange(4 * 365 * 86400)
    return segundos * 10**9 + rng.randrange(10**7) * 100


def grandes(rng, raiz, escala):
    talla = max(MIB, int(256 * MIB * escala))
    nombres = ["película 1.mkv", "película 2.mkv", "canción larga.flac", "copia de año.img"]
    # Tails that are no whole sector, and one file that is.
    colas = [0, 1, 511, 4095]
    return [escribir(rng, os.path.join(raiz, n), talla + c) for n, c in zip(nombres, colas)]


def medianos(rng, raiz, escala):
    cuantos = max(2, round(40 * escala))
    return [escribir(rng, os.path.join(raiz, f"foto_{i:02d}_señal.raw"), 8 * MIB + rng.randrange(4096))
            for i in range(cuantos)]


def pequenos(rng, raiz, escala):
    nombres = ["año", "música", "Índice", "niño", "árbol", "über", "crème", "ñandú", "ação", "dir"]
    carpetas = [raiz]
    profundidad = {raiz: 0}
    for i in range(max(5, round(300 * escala))):
        padre = rng.choice([c for c in carpetas if profundidad[c] < 6])
        nueva = os.path.join(padre, f"{rng.choice(nombres)}_{i:03d}")
        os.mkdir(nueva)
        carpetas.append(nueva)
        profundidad[nueva] = profundidad[padre] + 1
    archivos = []
    for i in range(max(20, round(2000 * escala))):
        nombre = f"canción_{i:04d}.{rng.choice(['txt', 'jpg', 'pdf', 'dat'])}"
        archivos.append(escribir(rng, os.path.join(rng.choice(carpetas), nombre),
                                 rng.randint(4 * KIB, 64 * KIB)))
    archivos.append(escribir(rng, os.path.join(raiz, "vacío.txt"), 0))
    vacia = os.path.join(raiz, "carpeta vacía")
    os.mkdir(vacia)
    return archivos + carpetas[1:] + [vacia]


def diminutos(rng, raiz, escala):
    """Forty folders of 49 folders each; the files spread over all of them."""
    carpetas = []
    arriba = max(2, round(40 * escala))
    for i in range(arriba):
        padre = os.path.join(raiz, f"grupo_{i:02d}")
        os.mkdir(padre)
        carpetas.append(padre)
        for j in range(max(1, round(49 * escala))):
            hija = os.path.join(padre, f"día_{j:02d}")
            os.mkdir(hija)
            carpetas.append(hija)
    archivos = [escribir(rng, os.path.join(rng.choice(carpetas), f"nota_{i:05d}.txt"),
                         rng.randint(KIB, 8 * KIB))
                for i in range(max(20, round(20000 * escala)))]
    return archivos + carpetas


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("destino", help="folder to fill (normally the source volume's root)")
    p.add_argument("--semilla", type=int, default=1)
    p.add_argument("--escala", type=float, default=1.0,
                   help="sizes of the big files and counts of the others, for smoke runs")
    p.add_argument("--partes", default=PARTES_SIEMPRE,
                   help="comma-separated subset of " + ",".join(PARTES))
    a = p.parse_args()
    partes = a.partes.split(",")
    if any(x not in PARTES for x in partes) or not 0 < a.escala <= 1:
        p.error("bad --partes or --escala")

    total = 0
    for parte in PARTES:
        # Each part has its own stream, so that a subset holds the same bytes as the full set.
        rng = random.Random(f"{a.semilla}/{parte}")
        if parte not in partes:
            continue
        raiz = os.path.join(a.destino, CARPETA[parte])
        os.makedirs(raiz)
        entradas = globals()[parte](rng, raiz, a.escala)
        # Times last, deepest first, so that no later write changes a folder's time.
        for ruta in sorted(entradas + [raiz], key=lambda r: r.count(os.sep), reverse=True):
            t = hora(rng)
            os.utime(ruta, ns=(t, t))
            if os.path.isfile(ruta):
                total += os.path.getsize(ruta)
    print(f"datos.py: {total} bytes in {a.destino}", file=sys.stderr)


if __name__ == "__main__":
    main()
