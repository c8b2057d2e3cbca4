// The report file and what is in flight to it.
#include "report/informe.h"

namespace {

// Ends the matrix's write (here, if no worker took it); true when it went well.
bool terminaAparte(MatrizAparte& aparte) {
  if (aparte.encargo) aparte.encargo->termina();
  aparte.encargo.reset();
  const bool bien = !aparte.fallo;
  aparte.fallo = false;
  return bien;
}

}  // namespace

Informe::~Informe() {
  (void)terminaAparte(aparte);
  if (archivo != nullptr) (void)std::fclose(archivo);
}

bool abreInforme(Informe& informe, const char* nombre) {
  informe.archivo = std::fopen(nombre, "wb");
  if (informe.archivo == nullptr) return false;
  // A large buffer where there is memory for one; stdio's own otherwise.
  informe.bufer.reset(new (std::nothrow) char[kBuferInforme]);
  if (informe.bufer != nullptr)
    (void)std::setvbuf(informe.archivo, informe.bufer.get(), _IOFBF, kBuferInforme);
  return true;
}

void esperaAparte(Informe& informe) {
  if (!terminaAparte(informe.aparte)) lanzaFallo(Error::escritura);
}

bool escribeTodo(std::FILE* archivo, const char* datos, std::size_t n) {
  return n == 0 || std::fwrite(datos, 1, n, archivo) == n;
}

void escribeBytes(Informe& informe, const char* datos, std::size_t n) {
  esperaAparte(informe);
  if (!escribeTodo(informe.archivo, datos, n)) lanzaFallo(Error::escritura);
}

void cierraInforme(Informe& informe) {
  esperaAparte(informe);
  std::FILE* archivo = informe.archivo;
  informe.archivo = nullptr;
  const bool fallo = std::fflush(archivo) != 0 || std::ferror(archivo) != 0;
  if (std::fclose(archivo) != 0 || fallo) lanzaFallo(Error::escritura);
}

Fallo cierraTrasFallo(Informe& informe, const Fallo& fallo) {
  // A matrix in flight, or the bytes still in the stream's buffer, came
  // before the failure in the report: if they are lost, the report stops
  // earlier than the failure's message says, so the write error stands.
  bool perdidos = !terminaAparte(informe.aparte);
  if (std::FILE* archivo = informe.archivo; archivo != nullptr) {
    informe.archivo = nullptr;
    perdidos = std::fflush(archivo) != 0 || std::ferror(archivo) != 0 || perdidos;
    perdidos = std::fclose(archivo) != 0 || perdidos;
  }
  if (!perdidos) return fallo;
  Fallo escritura;
  escritura.error = Error::escritura;
  return escritura;
}
