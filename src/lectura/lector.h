// Reading "input.txt": whitespace-separated tokens from a buffered stream and
// their strict conversion to the integer dim and to finite doubles. Memory
// stays bounded whatever the file holds: a token longer than the buffer is
// kept in a bounded form as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

inline constexpr std::size_t kBloqueLectura = std::size_t{1} << 16;  // bytes per refill
// A large input's refill: fewer reads, and enough numbers per block to convert
// them on every core.
inline constexpr std::size_t kBloqueGrande = std::size_t{1} << 20;
inline constexpr std::size_t kMuestra = 32;  // bytes of a token a message shows
// Significant digits kept of a long number: a double's rounding is decided
// within the first 768 (the longest exact halfway point between two doubles);
// past them only whether some digit is nonzero counts.
inline constexpr std::size_t kCifrasDecisivas = 800;

// Where a long token's bytes stand in the number grammar
// [+-]? (d+ (. d*)? | . d+) ([eE] [+-]? d+)?
enum class Parte : unsigned char {
  inicio,
  signo,
  entera,
  punto,
  puntoSolo,
  fraccion,
  marcaExp,
  signoExp,
  exponente,
  invalida
};

// A token that spans refills, reduced as its bytes arrive to what decides
// its acceptance and its value: the value is ±0.cifras × 10^(escala ± exponente),
// plus a trace past the kept digits when resto is set.
struct TokenLargo {
  char muestra[kMuestra];
  std::size_t enMuestra = 0;
  Parte parte = Parte::inicio;
  bool negativo = false;
  char cifras[kCifrasDecisivas];  // significant digits, leading zeros skipped
  std::size_t numCifras = 0;
  bool resto = false;  // a nonzero digit past the kept ones
  std::int64_t escala =
      0;  // integer digits from the first significant one; −leading fraction zeros
  std::int64_t exponente = 0;  // saturated
  bool exponenteNegativo = false;
  char texto[kCifrasDecisivas + 32];  // the equivalent text, built at the token's end
};

struct Lector {
  std::FILE* archivo = nullptr;
  std::vector<char> bufer;  // kBloqueLectura bytes, off the caller's stack
  std::size_t pos = 0;      // next byte to look at
  std::size_t fin = 0;      // bytes held in bufer
  bool agotado = false;     // no more bytes after bufer
  bool saltaResto = false;  // the last token was cut short: skip its remaining bytes first
  TokenLargo largo;
  std::vector<double> reales;  // what leeReales hands over
};

struct Token {
  // The token's bytes; for one that spans refills, an equivalent text: the
  // same value, accepted or rejected alike by esRealValido and esEnteroValido.
  std::string_view texto;
  std::string_view muestra;  // its first kMuestra bytes, as a message shows them
};

// Opens nombre for reading and reads its first block (skipping a UTF-8
// byte-order mark). False when the file cannot be opened or read, as with a
// directory; nothing is left open then.
bool abreLector(Lector& lector, const char* nombre);

// The next maximal run of non-whitespace bytes; texto is empty at the end of
// the input. The views stay valid until the next call. A token that is
// invalid for good is read only as far as its sample goes. A read error throws
// Error::lectura: what was read so far is not the end of the data.
Token siguienteToken(Lector& lector);

// Closes the file and gives back the buffers.
void cierraLector(Lector& lector);

// Makes the refills `bytes` long (what the buffer holds is kept); memory
// exhausted throws Error::sinMemoria.
void ampliaLector(Lector& lector, std::size_t bytes);

// The values of the next tokens, at most `cuantos`, as long as each is held
// whole in the buffer and esRealValido converts it without a second try:
// exactly what siguienteToken and esRealValido would give one by one,
// converted on every core when the buffer is large. Empty when the next token
// is not such a one; siguienteToken then reads it as ever (refilling, or
// handing over what a message names). Valid until the next call.
std::span<const double> leeReales(Lector& lector, std::size_t cuantos);

// An optional sign and decimal digits that fit 32 bits.
bool esEnteroValido(std::string_view s, std::int32_t& valor);

// Optional sign, digits with at most one decimal point (at least one digit),
// optional exponent (e or E, optional sign, digits); correctly rounded, finite.
// Underflow is fine; overflow, nan, inf and hexadecimal forms are not.
bool esRealValido(std::string_view s, double& valor);

// Test hook: the k-th read from the file after this call (0 = the next one)
// fails as a device error would; a negative k switches the hook off.
void fallaLectura(long k);
