// The engine's public call: the iteration and the capital, with every
// failure of the layers below caught here and handed back as a value.
#include "clearing/motor.h"

#include <new>
#include <utility>

#include "base/memoria.h"
#include "clearing/calculo.h"
#include "clearing/capital.h"
#include "clearing/grupos.h"

namespace {

// Room for n values in p and n zeros in ordenQuiebra, in the storage they
// come with where it is large enough.
void preparaDestino(Rondas& rondas, std::size_t n) {
  if (rondas.p.capacity() < n) rondas.p = reservaVector(n);
  if (rondas.ordenQuiebra.capacity() < n)
    rondas.ordenQuiebra = nuevoVectorEntero(n);
  else
    rondas.ordenQuiebra.assign(n, 0);
}

// The group that made the last round singular; none where there is no room
// to find it (the error itself is what matters).
std::vector<std::int32_t> grupoDelError(const Red& red, const Rondas& rondas) {
  try {
    return grupoSingular(red, rondas.marcas);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// A container that grows below the memory helpers (base/memoria.h) throws
// the standard library's bad_alloc: the same failure, which must reach the
// caller as a value like the rest rather than end the process from a thread.
Fallo sinMemoria() {
  Fallo fallo;
  fallo.error = Error::sinMemoria;
  return fallo;
}

}  // namespace

int matricesPrevistas(const OpcionesClearing& opciones, bool conSitio) {
  const Calculo& calculo = calculoPrevisto(opciones.literal);
  return calculo.matricesEnUso - (conSitio ? calculo.matricesDeBloque : 0);
}

int matricesDeClearing(const Red& red, const OpcionesClearing& opciones, bool conSitio) {
  const Calculo& calculo = eligeCalculo(red, opciones.literal);
  return calculo.matricesEnUso - (conSitio ? calculo.matricesDeBloque : 0);
}

std::optional<ErrorClearing> resuelveRondas(const Red& red, const OpcionesClearing& opciones,
                                            const ObservaRonda& observa, Clearing& clearing) {
  EspacioClearing espacio;  // its storage is reserved by the first round that needs it
  return resuelveRondas(red, opciones, observa, clearing, espacio);
}

std::optional<ErrorClearing> resuelveRondas(const Red& red, const OpcionesClearing& opciones,
                                            const ObservaRonda& observa, Clearing& clearing,
                                            EspacioClearing& espacio) {
  Rondas rondas{std::move(clearing.p), std::move(clearing.ordenQuiebra), 0, {}};
  Red conCostes = red;
  conCostes.costes = {opciones.alfa, opciones.beta};
  std::optional<ErrorClearing> error;
  try {
    preparaDestino(rondas, red.pBarra.size());
    for (const std::int32_t caido : opciones.caidos) rondas.ordenQuiebra[caido] = 1;
    TrabajoBloque& trabajo = espacio.trabajo;
    olvidaHistoria(trabajo.historia, opciones.recuerda);
    trabajo.hilos = opciones.hilos;
    for (TrabajoPanel& panel : trabajo.paneles) panel.hilos = opciones.hilos;
    trabajo.caben = opciones.caben;
    trabajo.cache = opciones.eliminaciones;
    iteraQuiebras(conCostes, eligeCalculo(red, opciones.literal), trabajo, observa, rondas);
  } catch (const Fallo& fallo) {
    error = ErrorClearing{fallo, rondas.rondas, {}};
    if (fallo.error == Error::indeterminado) error->grupo = grupoDelError(red, rondas);
  } catch (const std::bad_alloc&) {
    error = ErrorClearing{sinMemoria(), rondas.rondas, {}};
  }
  clearing.p = std::move(rondas.p);
  clearing.ordenQuiebra = std::move(rondas.ordenQuiebra);
  clearing.rondas = rondas.rondas;
  return error;
}

std::optional<ErrorClearing> calculaCapitales(const Red& red, const OpcionesClearing& opciones,
                                              Clearing& clearing) {
  try {
    clearing.capital =
        calculaCapital(red, clearing.p, eligeCalculo(red, opciones.literal), opciones.hilos);
  } catch (const Fallo& fallo) {
    return ErrorClearing{fallo, clearing.rondas, {}};
  } catch (const std::bad_alloc&) {
    return ErrorClearing{sinMemoria(), clearing.rondas, {}};
  }
  return std::nullopt;
}

ResultadoClearing calculaClearing(const Red& red, const OpcionesClearing& opciones,
                                  const ObservaRonda& observa) {
  ResultadoClearing resultado;
  resultado.error = resuelveRondas(red, opciones, observa, resultado.clearing);
  if (!resultado.error) resultado.error = calculaCapitales(red, opciones, resultado.clearing);
  return resultado;
}
