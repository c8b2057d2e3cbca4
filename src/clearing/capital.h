// What each node keeps once the payments are made.
#pragma once

#include "base/estado.h"
#include "clearing/calculo.h"

// capital = (PIᵀ·p + e) − p: what each node receives minus what it pays,
// on at most `hilos` threads (0: hilos()).
// A failed allocation in the last subtraction throws Error::sinMemoria with
// no line end.
Vector calculaCapital(const Red& red, const Vector& p, const Calculo& calculo, unsigned hilos = 0);
