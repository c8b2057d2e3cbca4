// The clearing map and the round's system computed from their structure:
// Λ only selects, so each product with Λ, I − Λ or I is a selection, and the
// costs follow the network's size n² and the block of defaulting nodes rather
// than n³. Every value has the bits of the literal formulas whenever PI,
// pBarra and e are finite (esDatoFinito); clearing/calculo.h chooses.
#pragma once

#include "base/estado.h"
#include "linalg/bloque.h"

// True when every element of PI, pBarra and e is finite.
bool esDatoFinito(const Red& red);

// PIᵀ·p: c[i] = 0.0 + Σ_k PI[k][i]·p[k] in ascending k, computed row by row,
// each thread over its own stretch of i, on at most `hilos` threads (0: hilos()).
Vector sumaEntradas(const Red& red, const Vector& p, unsigned hilos = 0);

// φ(p) = minimo(PIᵀ·p + e, pBarra), as phiP computes it.
Vector phiEstructurado(const Red& red, const Vector& p, unsigned hilos = 0);

// Λ(p)'s marks from φ = φ(p): node i in default exactly when pBarra[i] > φ[i].
Marcas marcasDePhi(const Red& red, const Vector& phi);

// The round's system for the defaulting block: (PIᵀ − I) on the block in
// trabajo.Ab, and b = −((z + w) + u) for all nodes.
void construyeSistema(const Red& red, const Bloque& bloque, TrabajoBloque& trabajo, Vector& b);

// What the solvent nodes pay each node of the block in full, z above
// without its cost: it depends on the block alone, and a block's
// elimination kept for later keeps it too (linalg/eliminadas.h). On at
// most `hilos` threads, the same bits for any number.
Vector pagosDeSolventes(const Red& red, const Bloque& bloque, unsigned hilos = 1);

// The right-hand side from z = pagosDeSolventes(red, bloque).
void construyeTermino(const Red& red, const Bloque& bloque, const Vector& z, Vector& b);
