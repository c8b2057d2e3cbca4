#include "escenarios/escenarios.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "comun/csv.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

// A shock step so fine that the sweep would never end is a mistake.
constexpr std::size_t kMaxPasos = 10'000'000;

}  // namespace

Escenarios escenariosPorNodo(std::int32_t n, const std::vector<std::string>& nombres) {
  Escenarios escenarios;
  escenarios.tipo = Barrido::cadaNodo;
  escenarios.n = n;
  escenarios.nombres = nombres;
  return escenarios;
}

bool escenariosPorCaida(std::int32_t n, const std::vector<std::string>& nombres,
                        std::string_view fraccion, Escenarios& escenarios, std::string& error) {
  escenarios = escenariosPorNodo(n, nombres);
  escenarios.tipo = Barrido::cadaNodoCae;
  if (esRealValido(fraccion, escenarios.fraccion) && escenarios.fraccion >= 0.0 &&
      escenarios.fraccion <= 1.0)
    return true;
  error = "--each-node-fails " + std::string(fraccion) + ": R must be a number in [0, 1]";
  return false;
}

Escenarios escenariosPorGrupo(const Grupos& grupos) {
  Escenarios escenarios;
  escenarios.tipo = Barrido::cadaGrupo;
  escenarios.grupos = grupos;
  return escenarios;
}

bool leeChoqueUniforme(std::string_view texto, Escenarios& escenarios, std::string& error) {
  const std::string uso = "--uniform-shock " + std::string(texto) + ": ";
  std::array<double, 3> v{};
  std::string_view resto = texto;
  for (std::size_t k = 0; k < v.size(); ++k) {
    const std::size_t dos = k + 1 < v.size() ? resto.find(':') : std::string_view::npos;
    const std::string_view parte = resto.substr(0, dos);
    if ((k + 1 < v.size() && dos == std::string_view::npos) ||
        (k + 1 == v.size() && parte.find(':') != std::string_view::npos) ||
        !esRealValido(parte, v[k])) {
      error = uso + "expected FROM:TO:STEP, three numbers";
      return false;
    }
    resto.remove_prefix(dos == std::string_view::npos ? resto.size() : dos + 1);
  }
  const auto [desde, hasta, paso] = v;
  if (!(paso > 0.0) || desde > hasta) {
    error = uso + "STEP must be positive and FROM at most TO";
    return false;
  }
  if (hasta > 1.0) {
    error = uso + "TO must be at most 1 (a shock above 1 makes the cash negative)";
    return false;
  }
  if (desde + paso == desde) {
    error = uso + "STEP is too small to change FROM";
    return false;
  }
  escenarios = Escenarios{};
  escenarios.tipo = Barrido::choqueUniforme;
  escenarios.desde = desde;
  escenarios.paso = paso;
  // s_k grows with k (a product and a sum of positive steps round monotonically).
  while (escenarios.pasos <= kMaxPasos && choque(escenarios, escenarios.pasos) <= hasta)
    ++escenarios.pasos;
  if (escenarios.pasos > kMaxPasos) {
    error = uso + "more than " + std::to_string(kMaxPasos) + " scenarios";
    return false;
  }
  return true;
}

std::size_t cuantosEscenarios(const Escenarios& escenarios) {
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
    case Barrido::cadaNodoCae:
      return static_cast<std::size_t>(escenarios.n);
    case Barrido::choqueUniforme:
    case Barrido::aleatorio:
      return escenarios.pasos;
    case Barrido::cadaGrupo:
      return escenarios.grupos.nombres.size();
    case Barrido::cajas:
      return escenarios.filas;
    case Barrido::archivo:
      break;
  }
  return cuantosLeidos(escenarios.leidos);
}

double choque(const Escenarios& escenarios, std::size_t k) {
  return escenarios.desde + static_cast<double>(k) * escenarios.paso;
}

std::string nombreEscenario(const Escenarios& escenarios, std::size_t k) {
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
    case Barrido::cadaNodoCae:
      return escenarios.nombres.empty() ? std::to_string(k) : escenarios.nombres[k];
    case Barrido::cadaGrupo:
      return escenarios.grupos.nombres[k];
    case Barrido::choqueUniforme: {
      std::string nombre;
      anadeExacto(nombre, choque(escenarios, k));
      return nombre;
    }
    case Barrido::cajas:
    case Barrido::aleatorio:
      return std::to_string(k);
    case Barrido::archivo:
      break;
  }
  return std::string(nombreLeido(escenarios.leidos, k));
}

void aplicaEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e) {
  e.assign(base.begin(), base.end());
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
      e[k] = 0.0;
      return;
    case Barrido::cadaGrupo:
      for (const std::int32_t nodo : escenarios.grupos.miembros[k]) e[nodo] = 0.0;
      return;
    case Barrido::choqueUniforme: {
      const double factor = 1.0 - choque(escenarios, k);
      if (escenarios.chocados.empty())
        for (double& caja : e) caja *= factor;
      for (const std::int32_t nodo : escenarios.chocados) e[nodo] *= factor;
      return;
    }
    case Barrido::cajas:
      std::copy_n(escenarios.cajas + k * base.size(), base.size(), e.begin());
      return;
    case Barrido::cadaNodoCae:
    case Barrido::aleatorio:
      return;
    case Barrido::archivo:
      break;
  }
  for (const Cambio& cambio : cambiosLeidos(escenarios.leidos, k)) {
    if (cambio.clase == Clase::caja) e[cambio.nodo] = cambio.caja;
    if (cambio.clase == Clase::choque) e[cambio.nodo] *= 1.0 - cambio.caja;
  }
}

void caidasEscenario(const Escenarios& escenarios, std::size_t k, std::vector<Cambio>& caidas) {
  caidas.clear();
  if (escenarios.tipo == Barrido::cadaNodoCae)
    caidas.push_back({escenarios.fraccion, static_cast<std::int32_t>(k), Clase::caida});
  if (escenarios.tipo != Barrido::archivo) return;
  for (const Cambio& cambio : cambiosLeidos(escenarios.leidos, k))
    if (cambio.clase == Clase::caida) caidas.push_back(cambio);
}

std::span<const CambioObligacion> obligacionesEscenario(const Escenarios& escenarios,
                                                        std::size_t k) {
  const EscenariosLeidos& leidos = escenarios.leidos;
  if (escenarios.tipo != Barrido::archivo || leidos.inicioObligaciones.empty()) return {};
  return std::span(leidos.obligaciones)
      .subspan(leidos.inicioObligaciones[k],
               leidos.inicioObligaciones[k + 1] - leidos.inicioObligaciones[k]);
}

bool cambiaRed(const Escenarios& escenarios, std::size_t k) {
  if (escenarios.tipo == Barrido::cadaNodoCae) return true;
  if (escenarios.tipo != Barrido::archivo) return false;
  const std::span<const Cambio> cambios = cambiosLeidos(escenarios.leidos, k);
  return !obligacionesEscenario(escenarios, k).empty() ||
         std::any_of(cambios.begin(), cambios.end(),
                     [](const Cambio& c) { return c.clase == Clase::caida; });
}

std::size_t cuantosLeidos(const EscenariosLeidos& leidos) {
  return leidos.finNombre.size();
}

std::string_view nombreLeido(const EscenariosLeidos& leidos, std::size_t k) {
  const std::size_t desde = k == 0 ? 0 : leidos.finNombre[k - 1];
  return std::string_view(leidos.nombres).substr(desde, leidos.finNombre[k] - desde);
}

std::span<const Cambio> cambiosLeidos(const EscenariosLeidos& leidos, std::size_t k) {
  return std::span(leidos.cambios)
      .subspan(leidos.inicioCambios[k], leidos.inicioCambios[k + 1] - leidos.inicioCambios[k]);
}

bool anadeLeido(EscenariosLeidos& leidos, std::string_view nombre) {
  if (leidos.nombres.size() + nombre.size() > kMaxDesplazamiento ||
      leidos.finNombre.size() >= kMaxDesplazamiento)
    return false;
  leidos.nombres += nombre;
  leidos.finNombre.push_back(static_cast<std::uint32_t>(leidos.nombres.size()));
  if (leidos.inicioCambios.empty()) leidos.inicioCambios.push_back(0);
  leidos.inicioCambios.push_back(static_cast<std::uint32_t>(leidos.cambios.size()));
  if (!leidos.inicioObligaciones.empty())
    leidos.inicioObligaciones.push_back(leidos.inicioObligaciones.back());
  return true;
}

bool anadeCambioLeido(EscenariosLeidos& leidos, const Cambio& cambio) {
  if (leidos.cambios.size() >= kMaxDesplazamiento) return false;
  leidos.cambios.push_back(cambio);
  leidos.inicioCambios.back() = static_cast<std::uint32_t>(leidos.cambios.size());
  return true;
}
