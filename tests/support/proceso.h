// A program run as a user runs it: a child process with its arguments, its standard output and
// error going to files that the test reads while it runs, signals, and a bounded wait for its
// exit status.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class Proceso {
 public:
  // Starts `programa` with `argumentos`; its output goes to files in `carpeta`, its standard
  // input reads nothing.
  Proceso(const std::string& programa, const std::vector<std::string>& argumentos,
          const std::string& carpeta)
      : salida_(carpeta + "/stdout"), errores_(carpeta + "/stderr") {
    std::vector<std::string> palabras = {programa};
    palabras.insert(palabras.end(), argumentos.begin(), argumentos.end());
    std::vector<char*> argv;
    for (auto& p : palabras) argv.push_back(p.data());
    argv.push_back(nullptr);
    const int entrada = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(salida_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open(errores_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (entrada >= 0 && out >= 0 && err >= 0) {
      pid_ = fork();
      if (pid_ == 0) {
        // Only calls that are safe after a fork of a process with threads.
        dup2(entrada, 0);
        dup2(out, 1);
        dup2(err, 2);
        sigset_t ninguna;
        sigemptyset(&ninguna);
        sigprocmask(SIG_SETMASK, &ninguna, nullptr);
        execv(argv[0], argv.data());
        _exit(127);
      }
    }
    for (const int fd : {entrada, out, err}) {
      if (fd >= 0) close(fd);
    }
  }
  ~Proceso() {
    if (pid_ > 0 && !estado_) {
      kill(pid_, SIGKILL);
      int estado;
      waitpid(pid_, &estado, 0);
    }
  }
  Proceso(const Proceso&) = delete;
  Proceso& operator=(const Proceso&) = delete;

  bool Empezado() const { return pid_ > 0; }
  void Senal(int senal) const {
    if (pid_ > 0 && !estado_) kill(pid_, senal);
  }

  // The exit status once it has ended (128 + the signal's number when a signal ended it), or
  // nothing when it is still running after `limite`.
  std::optional<int> Esperar(std::chrono::milliseconds limite = std::chrono::minutes(5)) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (!estado_ && pid_ > 0) {
      int estado;
      const pid_t hecho = waitpid(pid_, &estado, WNOHANG);
      if (hecho == pid_) {
        estado_ = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
        break;
      }
      if (std::chrono::steady_clock::now() >= fin) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return estado_;
  }

  // What it has written so far.
  std::string Salida() const { return Leer(salida_); }
  std::string Errores() const { return Leer(errores_); }

 private:
  static std::string Leer(const std::string& ruta) {
    std::ifstream archivo(ruta, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(archivo), std::istreambuf_iterator<char>());
  }

  std::string salida_, errores_;
  pid_t pid_ = -1;
  std::optional<int> estado_;
};

// The lines of a text, without their line ends; a last line not ended yet is left out.
inline std::vector<std::string> Lineas(const std::string& texto) {
  std::vector<std::string> lineas;
  std::size_t inicio = 0;
  for (std::size_t fin; (fin = texto.find('\n', inicio)) != std::string::npos; inicio = fin + 1) {
    lineas.push_back(texto.substr(inicio, fin - inicio));
  }
  return lineas;
}

}  // namespace testing_support
