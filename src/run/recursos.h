// What the machine can give the run. Memory handed out by an overcommitting
// system is only really found when touched, when it is too late to say
// "Memoria insuficient"; so the run compares what it will hold with what the
// system reports free before it commits to a dimension.
#pragma once

#include <cstdint>
#include <string>

// Bytes the run will hold at its peak for dim nodes when it keeps `matrices`
// dim×dim matrices of doubles alive at once.
double memoriaNecesaria(std::int32_t dim, int matrices);

// Bytes the system reports it can still provide (free and reclaimable memory
// plus free swap, within the memory limits of the process's control group
// and its parents); a negative value when the system does not say (then
// nothing is refused in advance).
double memoriaDisponible();
