#include "sweep/barrido_mpi.h"

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "base/hilos.h"
#include "base/reparto.h"

namespace {

template <typename T>
void empaqueta(std::string& bytes, const T& valor) {
  bytes.append(reinterpret_cast<const char*>(&valor), sizeof valor);
}

template <typename T>
bool desempaqueta(std::string_view& bytes, T& valor) {
  if (bytes.size() < sizeof valor) return false;
  std::memcpy(&valor, bytes.data(), sizeof valor);
  bytes.remove_prefix(sizeof valor);
  return true;
}

// A chunk's results travel as one message of at most this many bytes.
constexpr std::size_t kBytesPorTrozo = std::size_t{4} << 20;
// Chunks per rank at least, where there are enough scenarios: rounds of very
// different lengths then even out among the ranks.
constexpr std::size_t kTrozosPorRango = 8;
// A rank waiting for a message polls at this pace instead of spinning on a
// core its workers need.
constexpr auto kEspera = std::chrono::microseconds(200);
constexpr int kEtiqueta = 0;

// One scenario's bytes: status, rounds, regular, p, cash, capital, loss,
// pBarra, default rounds.
constexpr std::size_t kVectoresPorEscenario = 5;

std::size_t bytesPorEscenario(std::size_t n) {
  return 3 * sizeof(std::int32_t) +
         n * (kVectoresPorEscenario * sizeof(double) + sizeof(std::int32_t));
}

// A failed scenario's vectors may be short; their bytes are never read.
char* empaquetaVector(char* destino, const Vector& v, std::size_t n) {
  std::memset(destino, 0, n * sizeof(double));
  std::memcpy(destino, v.data(), std::min(n, v.size()) * sizeof(double));
  return destino + n * sizeof(double);
}

const char* desempaquetaVector(const char* origen, Vector& v, std::size_t n) {
  v.resize(n);
  std::memcpy(v.data(), origen, n * sizeof(double));
  return origen + n * sizeof(double);
}

struct Reparto {
  std::size_t total = 0;
  std::size_t porTrozo = 1;
  std::size_t trozos = 0;
  std::size_t rangos = 1;
  std::size_t n = 0;
};

Reparto reparto(std::size_t total, std::size_t n, int rangos) {
  Reparto r;
  r.total = total;
  r.n = n;
  r.rangos = static_cast<std::size_t>(rangos);
  const std::size_t porBytes = std::max<std::size_t>(1, kBytesPorTrozo / bytesPorEscenario(n));
  const std::size_t porRango = porExceso(total, kTrozosPorRango * r.rangos);
  r.porTrozo = std::max<std::size_t>(1, std::min(porBytes, porRango));
  r.trozos = porExceso(total, r.porTrozo);
  return r;
}

std::size_t finDeTrozo(const Reparto& r, std::size_t trozo) {
  return std::min(r.total, (trozo + 1) * r.porTrozo);
}

// The scenarios of rank `rango`: its chunks rango, rango + rangos, … in order.
Tanda tandaDeRango(const Reparto& r, std::size_t rango) {
  Tanda tanda;
  for (std::size_t c = rango; c < r.trozos; c += r.rangos)
    tanda.cuantos += finDeTrozo(r, c) - c * r.porTrozo;
  tanda.indice = [r, rango](std::size_t m) {
    return (rango + m / r.porTrozo * r.rangos) * r.porTrozo + m % r.porTrozo;
  };
  return tanda;
}

void empaqueta(char* destino, const ResultadoEscenario& resultado, std::size_t n) {
  const std::int32_t cabecera[3] = {static_cast<std::int32_t>(resultado.desenlace),
                                    resultado.rondas, resultado.regular ? 1 : 0};
  std::memcpy(destino, cabecera, sizeof cabecera);
  destino += sizeof cabecera;
  for (const Vector* v :
       {&resultado.p, &resultado.caja, &resultado.capital, &resultado.perdida, &resultado.pBarra})
    destino = empaquetaVector(destino, *v, n);
  std::memcpy(destino, resultado.ordenQuiebra.data(), n * sizeof(std::int32_t));
}

void desempaqueta(const char* origen, ResultadoEscenario& resultado, std::size_t n) {
  std::int32_t cabecera[3];
  std::memcpy(cabecera, origen, sizeof cabecera);
  origen += sizeof cabecera;
  resultado.desenlace = static_cast<Desenlace>(cabecera[0]);
  resultado.rondas = cabecera[1];
  resultado.regular = cabecera[2] != 0;
  for (Vector* v :
       {&resultado.p, &resultado.caja, &resultado.capital, &resultado.perdida, &resultado.pBarra})
    origen = desempaquetaVector(origen, *v, n);
  resultado.ordenQuiebra.resize(n);
  std::memcpy(resultado.ordenQuiebra.data(), origen, n * sizeof(std::int32_t));
}

// Waits for a request, polling.
void espera(MPI_Request& peticion, MPI_Status* estado) {
  int hecha = 0;
  for (;;) {
    MPI_Test(&peticion, &hecha, estado);
    if (hecha != 0) return;
    std::this_thread::sleep_for(kEspera);
  }
}

void envia(const std::vector<char>& bytes, std::size_t largo) {
  MPI_Request peticion = MPI_REQUEST_NULL;
  MPI_Isend(bytes.data(), static_cast<int>(largo), MPI_BYTE, 0, kEtiqueta, MPI_COMM_WORLD,
            &peticion);
  espera(peticion, MPI_STATUS_IGNORE);
}

// The sweep of one rank's scenarios, as barre or barreRedes runs it.
using BarreTanda = std::function<std::optional<std::size_t>(const Tanda&, const TomaResultado&)>;

// A rank other than 0: its results to rank 0, a chunk per message; a message
// of one byte says it ran out of memory.
std::optional<std::size_t> barreYEnvia(const BarreTanda& barreTanda, const Reparto& r,
                                       std::size_t rango) {
  const Tanda tanda = tandaDeRango(r, rango);
  const std::size_t porEscenario = bytesPorEscenario(r.n);
  std::vector<char> trozo(r.porTrozo * porEscenario);
  const auto toma = [&](std::size_t m, const ResultadoEscenario& resultado) {
    const std::size_t enTrozo = m % r.porTrozo;
    empaqueta(trozo.data() + enTrozo * porEscenario, resultado, r.n);
    if (enTrozo + 1 == r.porTrozo || m + 1 == tanda.cuantos)
      envia(trozo, (enTrozo + 1) * porEscenario);
    return true;
  };
  const auto falta = barreTanda(tanda, toma);
  if (falta) envia(trozo, 1);
  return falta;
}

}  // namespace

Rangos iniciaMpi(int& argc, char**& argv) {
  int dado = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &dado);
  Rangos rangos;
  MPI_Comm_rank(MPI_COMM_WORLD, &rangos.rango);
  MPI_Comm_size(MPI_COMM_WORLD, &rangos.cuantos);
  MPI_Comm maquina = MPI_COMM_NULL;
  if (MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rangos.rango, MPI_INFO_NULL,
                          &maquina) == MPI_SUCCESS &&
      maquina != MPI_COMM_NULL) {
    MPI_Comm_size(maquina, &rangos.enMaquina);
    MPI_Comm_free(&maquina);
  }
  return rangos;
}

void terminaMpi() {
  MPI_Finalize();
}

bool todosBien(bool bien) {
  int local = bien ? 1 : 0;
  int todos = 0;
  MPI_Allreduce(&local, &todos, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  return todos == 1;
}

void difunde(std::string& bytes) {
  auto largo = static_cast<std::uint64_t>(bytes.size());
  MPI_Bcast(&largo, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  bytes.resize(largo);
  // In pieces that an int counts.
  constexpr std::size_t kPieza = std::size_t{1} << 30;
  for (std::size_t desde = 0; desde < bytes.size(); desde += kPieza) {
    const std::size_t cuantos = std::min(kPieza, bytes.size() - desde);
    MPI_Bcast(bytes.data() + desde, static_cast<int>(cuantos), MPI_BYTE, 0, MPI_COMM_WORLD);
  }
}

void abortaMpi() {
  MPI_Abort(MPI_COMM_WORLD, 1);
  std::terminate();  // MPI_Abort does not return
}

namespace {

// total scenarios of n nodes dealt round the ranks in chunks.
std::optional<std::size_t> reparte(std::size_t total, std::int32_t n, const BarreTanda& barreTanda,
                                   Rangos rangos, const TomaResultado& toma) {
  const Reparto r = reparto(total, static_cast<std::size_t>(n), rangos.cuantos);
  if (rangos.rango != 0) return barreYEnvia(barreTanda, r, static_cast<std::size_t>(rangos.rango));

  // Rank 0: its own results as they come, and before each the chunks of the
  // other ranks that precede it.
  const Tanda tanda = tandaDeRango(r, 0);
  const std::size_t porEscenario = bytesPorEscenario(r.n);
  std::vector<char> trozo;
  ResultadoEscenario recibido;
  std::size_t siguiente = 0;  // the next chunk to hand over
  std::optional<std::size_t> falta;
  const auto recibeHasta = [&](std::size_t hasta) {
    for (; siguiente < hasta && !falta; ++siguiente) {
      if (siguiente % r.rangos == 0) return;  // rank 0's own: handed over as it comes
      const std::size_t inicio = siguiente * r.porTrozo;
      const std::size_t escenariosTrozo = finDeTrozo(r, siguiente) - inicio;
      trozo.resize(escenariosTrozo * porEscenario);
      MPI_Request peticion = MPI_REQUEST_NULL;
      MPI_Irecv(trozo.data(), static_cast<int>(trozo.size()), MPI_BYTE,
                static_cast<int>(siguiente % r.rangos), kEtiqueta, MPI_COMM_WORLD, &peticion);
      MPI_Status estado;
      espera(peticion, &estado);
      int recibidos = 0;
      MPI_Get_count(&estado, MPI_BYTE, &recibidos);
      if (static_cast<std::size_t>(recibidos) != trozo.size()) {
        falta = inicio;
        return;
      }
      for (std::size_t k = 0; k < escenariosTrozo; ++k) {
        desempaqueta(trozo.data() + k * porEscenario, recibido, r.n);
        if (!toma(inicio + k, recibido)) {
          falta = inicio + k;
          return;
        }
      }
    }
  };
  const auto tomaPropio = [&](std::size_t m, const ResultadoEscenario& resultado) {
    const std::size_t k = tanda.indice(m);
    const std::size_t c = k / r.porTrozo;
    if (siguiente < c) recibeHasta(c);
    if (falta || !toma(k, resultado)) return false;
    if (k + 1 == finDeTrozo(r, c)) siguiente = c + 1;
    return true;
  };
  if (const auto propio = barreTanda(tanda, tomaPropio)) return falta ? falta : propio;
  // Every chunk of rank 0's own is handed over by now: the rest are others'.
  recibeHasta(r.trozos);
  return falta;
}

}  // namespace

std::optional<std::size_t> barreRepartido(const Partida& partida, const Escenarios& escenarios,
                                          unsigned hilos, Rangos rangos,
                                          const TomaResultado& toma) {
  return reparte(
      cuantosEscenarios(escenarios), partida.n,
      [&](const Tanda& tanda, const TomaResultado& tomaTanda) {
        return barre(partida, escenarios, tanda, hilos, tomaTanda);
      },
      rangos, toma);
}

std::optional<std::size_t> barreRedesRepartido(const Redes& redes, const Escenarios& escenarios,
                                               unsigned hilos, std::uint64_t cuantas, Rangos rangos,
                                               const TomaResultado& toma) {
  return reparte(
      redes.porRed * static_cast<std::size_t>(cuantas), redes.n,
      [&](const Tanda& tanda, const TomaResultado& tomaTanda) {
        return barreRedes(redes, escenarios, tanda, hilos, tomaTanda);
      },
      rangos, toma);
}

// Open MPI keeps allocations for the life of the process and unloads the
// plugins that made some of them, so LeakSanitizer (which calls this hook;
// other builds never do) could not tell its leaks from ours: this program
// is checked for leaks without MPI, as clearing-sweep.
extern "C" const char*
__lsan_default_options() {  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
  return "detect_leaks=0";
}

std::string empaquetaEscenarios(const Escenarios& escenarios) {
  std::string bytes;
  const EscenariosLeidos& leidos = escenarios.leidos;
  empaqueta(bytes, std::uint64_t{cuantosLeidos(leidos)});
  for (std::size_t k = 0; k < cuantosLeidos(leidos); ++k) {
    const std::string_view nombre = nombreLeido(leidos, k);
    empaqueta(bytes, std::uint64_t{nombre.size()});
    bytes += nombre;
    const std::span<const Cambio> cambios = cambiosLeidos(leidos, k);
    empaqueta(bytes, std::uint64_t{cambios.size()});
    for (const Cambio& cambio : cambios) {
      empaqueta(bytes, cambio.nodo);
      empaqueta(bytes, cambio.caja);
      empaqueta(bytes, cambio.clase);
    }
  }
  return bytes;
}

bool desempaquetaEscenarios(std::string_view bytes, Escenarios& escenarios) {
  escenarios = Escenarios{};
  std::uint64_t cuantos = 0;
  if (!desempaqueta(bytes, cuantos)) return false;
  for (std::uint64_t k = 0; k < cuantos; ++k) {
    std::uint64_t largo = 0;
    if (!desempaqueta(bytes, largo) || bytes.size() < largo ||
        !anadeLeido(escenarios.leidos, bytes.substr(0, largo)))
      return false;
    bytes.remove_prefix(largo);
    std::uint64_t cambios = 0;
    if (!desempaqueta(bytes, cambios)) return false;
    for (std::uint64_t c = 0; c < cambios; ++c) {
      Cambio cambio;
      if (!desempaqueta(bytes, cambio.nodo) || !desempaqueta(bytes, cambio.caja) ||
          !desempaqueta(bytes, cambio.clase))
        return false;
      if (!anadeCambioLeido(escenarios.leidos, cambio)) return false;
    }
  }
  return bytes.empty();
}
