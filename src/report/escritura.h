// Writing text and numbers into the report: pieces assembled in memory and
// handed to the stream in large writes. Each call throws Error::escritura
// when a write fails.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/tipos.h"
#include "report/formato.h"
#include "report/informe.h"

void escribeTexto(Informe& out, std::string_view texto);

// The elements in index order on one line, each in f; no line end.
void escribeVector(Informe& out, const Vector& v, FormatoReal f);

// The integers in index order, each in "%-6d "; no line end.
void escribeEnteros(Informe& out, const std::vector<std::int32_t>& v);
