// Blocks already eliminated, for runs that solve the same round system again
// with another right-hand side: a sweep's scenarios share PI, pBarra and the
// default costs and differ in the outside cash, and many of their rounds
// have a default set an earlier round had (in any scenario). A block's
// entries depend on its indices alone (condition 1 of linalg/historia.h), so
// the same default set is the same elimination: the same pivots and factors,
// the same eliminated block. Its record holds what the right-hand side and
// the solution take from it: each column's pivot row, pivot and factors, the
// divisor of each node and the reordering's exchanges. Applied to a new b in
// the same order of operations (linalg/termino.h) it gives the bits the
// elimination itself gives, so whether a round finds its block here changes
// no result.
//
// The cache is shared by the threads of one network's runs. It is keyed on
// the block's indices alone: a caller whose runs change PI or the costs
// keeps one cache per network and costs, and a run with a system of its own
// passes none. It holds at most its budget in records, the least recently
// used given up first; a record in use by a thread stays alive with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/tipos.h"
#include "linalg/bloque.h"

struct Eliminacion {
  std::vector<std::int32_t> indices;  // the block, ascending: the key
  std::vector<std::int32_t> pivote;   // per block column: its pivot's block row
  Vector pivotes;                     // per block column: the pivot, as chosen
  Vector factores;                    // per block column c, from c·m: each block row's factor
  Vector divisores;                   // per node: what its value is divided by
  std::vector<std::int32_t> cambios;  // the reordering's exchanges, in pairs, in order
  Vector delBloque;  // per node: what the caller's right-hand side takes from the block alone
};

// The bytes a record of a block of m among n nodes holds.
double memoriaDeEliminacion(std::size_t m, std::size_t n);

struct CacheEliminaciones {
  explicit CacheEliminaciones(double bytes) : presupuesto(bytes) {}
  const double presupuesto;  // bytes of records held at most
  std::mutex cerrojo;        // guards all below
  double ocupados = 0;
  // The most recently used first; by the hash of their indices.
  std::list<std::shared_ptr<const Eliminacion>> orden;
  using Lugar = std::list<std::shared_ptr<const Eliminacion>>::iterator;
  std::unordered_multimap<std::uint64_t, Lugar> porClave;
};

// The record of this block, made the most recently used; none when the
// cache does not hold it (or there is no cache).
std::shared_ptr<const Eliminacion> buscaEliminacion(CacheEliminaciones* cache,
                                                    const std::vector<std::int32_t>& indices);

// Room for the record of a block of m among n nodes, its indices copied;
// none when there is no cache, the record could never fit its budget, or
// memory is short (the round is then solved unrecorded, to the same bits).
std::optional<Eliminacion> nuevaEliminacion(const CacheEliminaciones* cache,
                                            const std::vector<std::int32_t>& indices,
                                            std::size_t n);

// Block column c of the record: its pivot row r, the pivot and the factors
// of the block's m rows.
void anotaColumna(Eliminacion& registro, std::size_t c, std::int32_t r, double pivote,
                  const double* factor, std::size_t m);

// The record complete: into the cache, giving up the least recently used
// until it fits; dropped when the block is there already.
void guardaEliminacion(CacheEliminaciones& cache, Eliminacion registro);

// x with A·x = b for the block whose elimination is recorded: b's updates,
// the division and the reordering as the block solver makes them (b, of
// length n, is overwritten). The same bits as resuelveBloque.
void resuelveConEliminacion(const Eliminacion& hecha, const Bloque& bloque, Vector& b, Vector& x);
