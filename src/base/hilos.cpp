#include "base/hilos.h"

#include <cassert>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/pruebas.h"
#include "sistema/plataforma.h"

namespace {

// The rows from which repartePorFilas shares its work. Set by what it costs
// the costliest of its callers, the update of the rows for one strip of a
// panel's pivots (32, about 32·m² updates; a panel holds 64): below 384 rows
// handing a part to a second thread would eat most of what it saves (figures
// in docs/performance.md, "Threads"). panel/pivotes.h measures its steps
// against that same strip.
constexpr std::size_t kFilasParaRepartir = 384;

}  // namespace

// The workers and the Encargos offered to them, in the order offered.
class Piscina {
 public:
  Piscina() = default;
  Piscina(const Piscina&) = delete;
  Piscina& operator=(const Piscina&) = delete;
  ~Piscina() {
    {
      const std::lock_guard bloqueo(cerrojo_);
      parar_ = true;
    }
    hay_.notify_all();
    for (std::thread& hilo : hilos_) hilo.join();
    assert(primero_ == nullptr);  // every Encargo ended before the program
  }

  void ofrece(Encargo& e, std::size_t trabajadores) {
    std::unique_lock bloqueo(cerrojo_);
    crece(trabajadores, bloqueo);
    if (hilos_.empty()) return;  // none to be had: every part stays with the caller
    e.enCola_ = true;
    (ultimo_ != nullptr ? ultimo_->proximo_ : primero_) = &e;
    ultimo_ = &e;
    bloqueo.unlock();
    hay_.notify_all();
  }

  void termina(Encargo& e, bool hazLoQueQueda) {
    std::unique_lock bloqueo(cerrojo_);
    while (e.siguiente_ < e.fin_) {
      const std::size_t k = toma(e);
      if (!hazLoQueQueda) continue;
      bloqueo.unlock();
      e.llama_(e.tarea_, k);
      bloqueo.lock();
    }
    hecho_.wait(bloqueo, [&] { return e.enCurso_ == 0; });
    // Its end: every part taken, none running, and out of the queue, so no
    // worker can reach it once its caller's frame is gone.
    assert(e.siguiente_ >= e.fin_ && e.enCurso_ == 0 && !e.enCola_ && e.proximo_ == nullptr);
  }

  std::size_t cuantos() {
    const std::lock_guard bloqueo(cerrojo_);
    return hilos_.size();
  }

 private:
  // Starts workers up to `trabajadores`, stopping at the first the system refuses.
  void crece(std::size_t trabajadores, std::unique_lock<std::mutex>& bloqueo) {
    while (hilos_.size() < trabajadores && !sinMas_) {
      try {
        hilos_.reserve(trabajadores);
        hilos_.emplace_back([this] {
          dejaSenalesDeFinAlPrincipal();  // an interrupt goes where it can be held back
          trabaja();
        });
      } catch (const std::system_error&) {
        sinMas_ = true;
      } catch (const std::bad_alloc&) {
        sinMas_ = true;
      }
    }
    (void)bloqueo;
  }

  // Takes e's next part; e leaves the queue with its last. Lock held.
  std::size_t toma(Encargo& e) {
    const std::size_t k = e.siguiente_++;
    if (e.siguiente_ == e.fin_ && e.enCola_) quita(e);
    return k;
  }

  void quita(Encargo& e) {
    Encargo* anterior = nullptr;
    for (Encargo* a = primero_; a != &e; a = a->proximo_) anterior = a;
    (anterior != nullptr ? anterior->proximo_ : primero_) = e.proximo_;
    if (ultimo_ == &e) ultimo_ = anterior;
    e.proximo_ = nullptr;
    e.enCola_ = false;
  }

  void trabaja() {
    std::unique_lock bloqueo(cerrojo_);
    for (;;) {
      hay_.wait(bloqueo, [&] { return parar_ || primero_ != nullptr; });
      if (primero_ == nullptr) return;
      Encargo& e = *primero_;
      const std::size_t k = toma(e);
      ++e.enCurso_;
      bloqueo.unlock();
      if (const auto& aviso = controlPruebas().alTomarParte) aviso();
      e.llama_(e.tarea_, k);
      bloqueo.lock();
      // e may end as soon as the lock is released: only the pool is touched after.
      if (--e.enCurso_ == 0) hecho_.notify_all();
    }
  }

  std::mutex cerrojo_;
  std::condition_variable hay_;    // an Encargo offered, or the pool stops
  std::condition_variable hecho_;  // an Encargo's last started part ended
  std::vector<std::thread> hilos_;
  Encargo* primero_ = nullptr;
  Encargo* ultimo_ = nullptr;
  bool parar_ = false;
  bool sinMas_ = false;  // the system refused a thread: none is asked for again
};

namespace {

Piscina& piscina() {
  static Piscina una;
  return una;
}

}  // namespace

void Encargo::ofrece() {
  if (siguiente_ >= fin_) return;
  piscina().ofrece(*this, std::max<std::size_t>(hilos(), fin_ - siguiente_));
}

void Encargo::termina() {
  piscina().termina(*this, true);
}

void Encargo::retira() {
  piscina().termina(*this, false);
}

std::size_t hilosDeLaPiscina() {
  return piscina().cuantos();
}

unsigned hilos() {
  if (const unsigned pedidos = controlPruebas().hilos; pedidos > 0) return pedidos;
  // Read once per root: the files under it do not change during a run, and
  // every round asks.
  static std::mutex cerrojo;
  static std::string raiz;
  static unsigned disponibles = 0;
  const std::lock_guard bloqueo(cerrojo);
  if (disponibles == 0 || raiz != controlPruebas().raizSistema) {
    raiz = controlPruebas().raizSistema;
    disponibles = std::max(1U, procesadoresDisponiblesBajo(raiz));
  }
  return disponibles;
}

std::size_t filasParaRepartir() {
  const std::size_t pedidas = controlPruebas().filasParaRepartir;
  return pedidas > 0 ? pedidas : kFilasParaRepartir;
}
