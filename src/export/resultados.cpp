// Every number exact in its shortest form: input.txt's, and the engine's
// payment and capital; names empty when there is no nodes.txt.
#include "export/resultados.h"

#include "comun/texto.h"
#include "export/cifras.h"

namespace {

std::string nombreCsv(const std::vector<std::string>& nombres, std::int32_t i) {
  return nombres.empty() ? std::string() : campoCsv(nombres[i]);
}

}  // namespace

void escribeResultados(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                       const std::vector<std::string>& nombres) {
  escribe(
      archivo,
      "node,name,total_obligations,outside_cash,payment,recovery_rate,default_round,capital\r\n");
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    double tasa = 0.0;
    const bool debe = calculaRecuperacion(dispersa, resultado, i, tasa);
    const std::string fila =
        std::to_string(i) + "," + nombreCsv(nombres, i) + "," + textoExacto(dispersa.pBarra[i]) +
        "," + textoExacto(dispersa.e[i]) + "," + textoExacto(resultado.p[i]) + "," +
        (debe ? textoExacto(tasa) : std::string()) + "," + std::to_string(resultado.ronda[i]) +
        "," + textoExacto(resultado.capital[i]) + "\r\n";
    escribe(archivo, fila);
  }
}

void escribePagos(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                  const std::vector<std::string>& nombres) {
  escribe(archivo, "debtor,debtor_name,creditor,creditor_name,obligation,payment\r\n");
  std::string fila;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    const std::string deudor = std::to_string(i) + "," + nombreCsv(nombres, i) + ",";
    for (std::size_t k = dispersa.inicioFila[i]; k < dispersa.inicioFila[i + 1]; ++k) {
      if (dispersa.valor[k] == 0.0) continue;  // -0 owes nothing
      const std::int32_t j = dispersa.columna[k];
      fila = deudor + std::to_string(j) + "," + nombreCsv(nombres, j) + "," +
             textoExacto(dispersa.valor[k]) + "," +
             textoExacto(calculaPagoEntre(dispersa, resultado, i, k)) + "\r\n";
      escribe(archivo, fila);
    }
  }
}
