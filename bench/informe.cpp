#include "bench/informe.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kMiB = 1 << 20;

std::string Fmt(const char* formato, double valor) {
  char texto[64];
  std::snprintf(texto, sizeof texto, formato, valor);
  return texto;
}

std::string Mbps(std::int64_t bps) { return bps > 0 ? Fmt("%g MB/s", bps / 1e6) : "unthrottled"; }

// A stick's physical limit: one copy at the lower of its write rate (for an unthrottled stick,
// dd's measured rate) and the source's read rate.
double LimitePalo(const TGranja& g, const TVolumen& palo, std::int64_t bytes) {
  std::int64_t bps = std::numeric_limits<std::int64_t>::max();
  if (palo.BpsEscritura > 0) bps = palo.BpsEscritura;
  if (palo.BpsMedida > 0) bps = palo.BpsMedida;
  if (g.Origen.BpsLectura > 0) bps = std::min(bps, g.Origen.BpsLectura);
  return static_cast<double>(bytes) / static_cast<double>(bps);
}

// A stick's limit for a verified copy: the copy's physical limit, then one read of the copy at the
// stick's read rate (the read-back starts only once the stick is synced); 0 when the stick's reads
// are not throttled, so that no limit can be given.
double LimiteVerificado(const TGranja& g, const TVolumen& palo, std::int64_t bytes) {
  if (palo.BpsLectura <= 0) return 0;
  return LimitePalo(g, palo, bytes) +
         static_cast<double>(bytes) / static_cast<double>(palo.BpsLectura);
}

double Hecho(const TResultado& r) {
  double t = 0;
  for (const auto& p : r.Palos) t = std::max(t, p.Hecho);
  return t;
}

// The last stick's time until written and synced; -1 when not measured for every stick.
double Escrito(const TResultado& r) {
  double t = 0;
  for (const auto& p : r.Palos) {
    if (p.Escrito < 0) return -1;
    t = std::max(t, p.Escrito);
  }
  return t;
}

// Share of the data that was on the sticks when the tool reported each stick done: the device's
// completed writes then, up to one copy's bytes per stick. Metadata written by then counts too,
// which is why the share of all the run's writes is shown beside it.
double ParteDatos(const TResultado& r, std::int64_t bytes) {
  double al_hecho = 0;
  for (const auto& p : r.Palos) al_hecho += std::min(p.AlHecho.Escritos, bytes);
  return al_hecho / (static_cast<double>(bytes) * static_cast<double>(r.Palos.size()));
}

// Share of everything finally written to the sticks (data and metadata, by the device's
// completed writes or by statvfs) that was there when the tool reported each stick done.
double Parte(const TResultado& r, std::int64_t TContadores::*campo) {
  double al_hecho = 0, al_final = 0;
  for (const auto& p : r.Palos) {
    al_hecho += p.AlHecho.*campo;
    al_final += p.AlFinal.*campo;
  }
  return al_final > 0 ? al_hecho / al_final : 0;
}

// The dirty memory the run caused: the farm's own pages where measurable, else the machine's
// rise above its level at the start.
double SuciosCausados(const TResultado& r) {
  return (r.PicoSuciosGranja >= 0 ? r.PicoSuciosGranja : r.PicoSucios - r.SuciosInicio) / kMiB;
}

class TTabla {
 public:
  TTabla(std::ostream& out, const std::vector<TResultado>& rs) : out_(out), rs_(rs) {
    Fila("", [](const TResultado& r) { return r.Herramienta; }, "target");
  }
  void Fila(const std::string& titulo, const std::function<std::string(const TResultado&)>& valor,
            const std::string& meta = "") {
    char texto[48];
    std::snprintf(texto, sizeof texto, "%-34s", titulo.c_str());
    out_ << texto;
    for (const auto& r : rs_) {
      std::snprintf(texto, sizeof texto, "%-16s", valor(r).c_str());
      out_ << texto;
    }
    out_ << meta << '\n';
  }

 private:
  std::ostream& out_;
  const std::vector<TResultado>& rs_;
};

std::string Veredicto(bool cumple) { return cumple ? " ok" : " MISSED"; }

// What the fingerprints cost: the hashing alone, measured in memory while the data set was
// inventoried, and what the Orsanta run's hashing comes to at that rate (the source's read
// hashes the data once, and each stick's read-back once more).
void InformarHuellas(std::ostream& out, const TManifiesto& datos,
                     const std::vector<TResultado>& rs) {
  if (datos.CpuHuellas <= 0) return;
  const double bytes = static_cast<double>(datos.Bytes);
  out << "\nhashing alone (XXH3-128 of the engine's fingerprint, the data set from memory, 1 MiB "
         "at a time, one core): "
      << Fmt("%.3f", datos.CpuHuellas) << " CPU s for " << Fmt("%.1f", bytes / 1e6) << " MB, "
      << Fmt("%.2f", bytes / datos.CpuHuellas / 1e9) << " GB/s\n";
  for (const auto& r : rs) {
    if (r.Herramienta != "Orsanta") continue;
    const std::size_t veces = 1 + (r.Verificar ? r.Palos.size() : 0);
    const double cpu = static_cast<double>(veces) * datos.CpuHuellas;
    const std::string texto_veces = veces == 1 ? "once" : std::to_string(veces) + " times";
    out << r.Herramienta << " hashed the data " << texto_veces << " (the source's read"
        << (r.Verificar ? " and each stick's read-back" : ", no read-back") << "): about "
        << Fmt("%.2f", cpu) << " CPU s at that rate, " << Fmt("%.0f", 100 * cpu / r.Cpu)
        << " % of its " << Fmt("%.2f", r.Cpu) << " CPU s\n";
  }
}

}  // namespace

void Informar(std::ostream& out, const TGranja& g, const TManifiesto& datos,
              const std::vector<TResultado>& rs) {
  const std::size_t n = g.Palos.size();
  double limite = 0;
  out << "farm: source " << g.Origen.Label << " (reads " << Mbps(g.Origen.BpsLectura) << "), "
      << n << " sticks:";
  double limite_verificado = 0;
  bool lecturas_limitadas = true;
  for (const auto& palo : g.Palos) {
    out << ' ' << palo.Label << " (" << Mbps(palo.BpsEscritura);
    if (palo.BpsMedida > 0) out << ", dd " << Mbps(palo.BpsMedida);
    if (palo.BpsLectura > 0) out << ", reads " << Mbps(palo.BpsLectura);
    out << ", " << palo.Sector << " B)";
    limite = std::max(limite, LimitePalo(g, palo, datos.Bytes));
    limite_verificado = std::max(limite_verificado, LimiteVerificado(g, palo, datos.Bytes));
    lecturas_limitadas = lecturas_limitadas && palo.BpsLectura > 0;
  }
  if (!lecturas_limitadas) limite_verificado = 0;
  out << "\ndata: " << datos.Bytes << " bytes in " << datos.Archivos << " files and "
      << datos.Carpetas << " folders; physical limit " << Fmt("%.2f", limite) << " s";
  if (limite_verificado > 0) {
    out << ", verified (bytes / write rate + bytes / read rate) "
        << Fmt("%.2f", limite_verificado) << " s";
  }
  out << '\n';
  for (const auto& r : rs) {
    if (r.Herramienta != "Orsanta") continue;
    out << r.Herramienta << ": read-back " << (r.Verificar ? "on" : "off") << ", manifest "
        << (r.Manifiesto ? "on" : "off") << '\n';
  }
  for (const auto& r : rs) {
    if (r.MemoriaLibre < 0) continue;
    out << r.Herramienta << ": MemoriaLibre " << Fmt("%.0f", r.MemoriaLibre / kMiB)
        << " MiB, leaving it " << Fmt("%.0f", r.Presupuesto / kMiB)
        << " MiB to allocate at the drop; engine backlog budget "
        << Fmt("%.0f", r.PresupuestoMotor / kMiB) << " MiB; source read again for laggards "
        << Fmt("%.1f", r.Releido / kMiB) << " MiB\n";
  }
  for (const auto& r : rs) {
    if (r.ClientesLentos == 0) continue;
    out << r.Herramienta << ": status page served to " << r.ClientesLentos
        << " clients sending a byte a second: " << r.ConexionesLentas << " connections, "
        << r.RespuestasLentas << " answered\n";
  }
  out << '\n';

  const double escrito = static_cast<double>(datos.Bytes) * static_cast<double>(n);
  auto objetivo = [](const TResultado& r, const std::string& meta, bool cumple) {
    return r.Herramienta == "Orsanta" ? meta + Veredicto(cumple) : std::string();
  };
  TTabla t(out, rs);
  t.Fila("wall time until synced, s", [](const TResultado& r) { return Fmt("%.2f", r.Segundos); });
  // With the read-back on, the copy's target applies to the time until written and synced.
  t.Fila("  / physical limit", [&](const TResultado& r) {
    if (r.Verificar) return Fmt("%.3f", r.Segundos / limite);
    return Fmt("%.3f", r.Segundos / limite) + objetivo(r, "", r.Segundos / limite <= 1.03);
  }, "<= 1.03 (a, b; read-back off)");
  t.Fila("last stick written and synced, s", [](const TResultado& r) {
    return Escrito(r) >= 0 ? Fmt("%.2f", Escrito(r)) : std::string("-");
  }, "(Orsanta: turned to its read-back)");
  t.Fila("  / physical limit", [&](const TResultado& r) {
    if (Escrito(r) < 0) return std::string("-");
    return Fmt("%.3f", Escrito(r) / limite) + objetivo(r, "", Escrito(r) / limite <= 1.03);
  }, "<= 1.03 (a, b)");
  t.Fila("last stick verified, s", [](const TResultado& r) {
    return r.Verificar ? Fmt("%.2f", Hecho(r)) : std::string("-");
  });
  t.Fila("  / (bytes/write + bytes/read)", [&](const TResultado& r) {
    if (!r.Verificar || limite_verificado <= 0) return std::string("-");
    const double cociente = Hecho(r) / limite_verificado;
    return Fmt("%.3f", cociente) + objetivo(r, "", cociente <= 1.05);
  }, "<= 1.05 (v; slowest stick's limit)");
  t.Fila("drop (scan and queueing), s", [](const TResultado& r) {
    return r.Arrastre > 0 ? Fmt("%.2f", r.Arrastre) : std::string("-");
  });
  t.Fila("queued to all sticks writing, ms", [](const TResultado& r) {
    return r.PrimeraEscritura >= 0 ? Fmt("%.1f", 1000 * r.PrimeraEscritura) : std::string("-");
  });
  t.Fila("  from the drop's start, ms", [](const TResultado& r) {
    return r.PrimeraEscrituraArrastre >= 0 ? Fmt("%.1f", 1000 * r.PrimeraEscrituraArrastre)
                                           : std::string("-");
  });
  t.Fila("last stick reported done, s", [](const TResultado& r) { return Fmt("%.2f", Hecho(r)); });
  t.Fila("data on sticks when reported done", [&](const TResultado& r) {
    const double parte = ParteDatos(r, datos.Bytes);
    return Fmt("%.1f %%", 100 * parte) + objetivo(r, "", parte >= 0.99);
  }, ">= 99 %");
  t.Fila("  of all the run's device writes", [](const TResultado& r) {
    return Fmt("%.1f %%", 100 * Parte(r, &TContadores::Escritos));
  });
  t.Fila("  of statvfs used at the end", [](const TResultado& r) {
    return Fmt("%.1f %%", 100 * Parte(r, &TContadores::Usados));
  });
  t.Fila("device writes per stick, MB", [&](const TResultado& r) {
    double total = 0;
    for (const auto& p : r.Palos) total += p.AlFinal.Escritos;
    return Fmt("%.1f", total / 1e6 / static_cast<double>(r.Palos.size()));
  }, Fmt("(data %.1f)", datos.Bytes / 1e6));
  t.Fila("device reads per stick, MB", [&](const TResultado& r) {
    double total = 0;
    for (const auto& p : r.Palos) total += p.AlFinal.Leidos;
    return Fmt("%.1f", total / 1e6 / static_cast<double>(r.Palos.size()));
  }, "(Orsanta: the read-back)");
  t.Fila("source device reads / data", [&](const TResultado& r) {
    return Fmt("%.3f", static_cast<double>(r.LeidosOrigen) / static_cast<double>(datos.Bytes));
  }, "(1: the source read once)");
  t.Fila("peak Dirty+Writeback, MiB", [](const TResultado& r) {
    return Fmt("%.0f", r.PicoSucios / kMiB) + Fmt(" (%.0f)", r.SuciosInicio / kMiB);
  }, "(at the start)");
  t.Fila("peak dirty of the farm, MiB", [&](const TResultado& r) {
    return Fmt("%.1f", SuciosCausados(r)) + objetivo(r, "", SuciosCausados(r) <= 64);
  }, "<= 64");
  t.Fila("peak resident memory, MiB", [&](const TResultado& r) {
    const double mib = r.PicoResidente / kMiB;
    return Fmt("%.0f", mib) + objetivo(r, "", r.Presupuesto < 0 || mib <= r.Presupuesto / kMiB + 64);
  }, "<= budget + 64");
  t.Fila("  resident at the start, MiB", [](const TResultado& r) {
    return Fmt("%.0f", r.ResidenteInicio / kMiB);
  });
  t.Fila("CPU s", [](const TResultado& r) { return Fmt("%.2f", r.Cpu); });
  t.Fila("  % of a core per 100 MB/s", [&](const TResultado& r) {
    const double por_ciento = r.Cpu * 1e10 / escrito;
    return Fmt("%.2f", por_ciento) + objetivo(r, "", por_ciento < 5);
  }, "< 5");
  t.Fila("MB/s written (all sticks)", [&](const TResultado& r) {
    return Fmt("%.1f", escrito / 1e6 / r.Segundos);
  });
  t.Fila("  until written and synced", [&](const TResultado& r) {
    return Escrito(r) > 0 ? Fmt("%.1f", escrito / 1e6 / Escrito(r)) : std::string("-");
  }, "(Orsanta)");
  t.Fila("files per second", [&](const TResultado& r) {
    return Fmt("%.1f", static_cast<double>(datos.Archivos) * static_cast<double>(n) / r.Segundos);
  }, "(all sticks)");
  t.Fila("verification", [](const TResultado& r) {
    return r.Fallos.empty() ? std::string("ok") : "FAILED";
  });
  if (rs.size() == 2) {
    const double cociente = rs[0].Segundos / rs[1].Segundos;
    out << rs[0].Herramienta << " / " << rs[1].Herramienta << ": " << Fmt("%.3f", cociente)
        << "  (target <= 1.02 in a, b; <= 1 in d, e; read-back off)\n";
    if (rs[0].Verificar && Escrito(rs[0]) >= 0) {
      out << rs[0].Herramienta << " written and synced / " << rs[1].Herramienta << ": "
          << Fmt("%.3f", Escrito(rs[0]) / rs[1].Segundos) << "  (" << rs[1].Herramienta
          << " reads nothing back)\n";
    }
  }
  InformarHuellas(out, datos, rs);

  out << "\nper stick (s; written = Orsanta written and synced; ratio = synced / own physical "
         "limit; v.ratio = done / own verified limit, with the read-back on)\n";
  char texto[160];
  std::snprintf(texto, sizeof texto, "%-10s %8s %8s %8s", "stick", "MB/s", "limit", "verified");
  out << texto;
  for (const auto& r : rs) {
    std::snprintf(texto, sizeof texto, "  | %-7.7s %8s %8s %8s %6s %7s", r.Herramienta.c_str(),
                  "written", "done", "synced", "ratio", "v.ratio");
    out << texto;
  }
  out << '\n';
  for (std::size_t i = 0; i < n; ++i) {
    const double propio = LimitePalo(g, g.Palos[i], datos.Bytes);
    const double verificado = LimiteVerificado(g, g.Palos[i], datos.Bytes);
    std::snprintf(texto, sizeof texto, "%-10s %8.1f %8.2f %8s", g.Palos[i].Label.c_str(),
                  std::max(g.Palos[i].BpsEscritura, g.Palos[i].BpsMedida) / 1e6, propio,
                  verificado > 0 ? Fmt("%.2f", verificado).c_str() : "-");
    out << texto;
    for (const auto& r : rs) {
      const TFinPalo& p = r.Palos[i];
      std::snprintf(texto, sizeof texto, "  | %7s %8s %8.2f %8.2f %6.3f %7s", "",
                    p.Escrito >= 0 ? Fmt("%.2f", p.Escrito).c_str() : "-", p.Hecho,
                    p.Sincronizado, p.Sincronizado / propio,
                    r.Verificar && verificado > 0 ? Fmt("%.3f", p.Hecho / verificado).c_str()
                                                  : "-");
      out << texto;
    }
    out << '\n';
  }
  for (const auto& r : rs) {
    for (const auto& fallo : r.Fallos) out << r.Herramienta << ": " << fallo << '\n';
  }
}
