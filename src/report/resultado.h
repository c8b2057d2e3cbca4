// The result sections: clearing vector, default steps, capital of each node,
// and the matrix of payments between nodes.
#pragma once

#include "base/estado.h"
#include "report/informe.h"

// "RESULTADO": pPrima and the capital in "%-5.5le ", ordenQuiebra in "%-6d ";
// a capital below tol is written "0     ". No line end after the capital.
void escribeResultado(Informe& out, const NetworkState& estado, const Vector& capital);

// One cell of the capital line: "0     " where tol > capital (negative
// capital too), the number in "%-5.5le " otherwise; at most kMaxNumero bytes.
char* formatoCapital(char* dst, double c);

// "Matriz de pagos": PI[i][j]·pPrima[i] in "%-6.3g ", row by row.
void escribeMatPagos(Informe& out, const NetworkState& estado);
