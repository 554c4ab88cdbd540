// Ctrl-C (SIGINT), SIGTERM and SIGHUP taken as data read from a descriptor (signalfd) instead of
// in a handler: blocked for every thread from the start, so that none of them is interrupted,
// and read by the main loop, which cancels cleanly. SIGPIPE is ignored: a closed output is a
// failed write, not the end of the copy.
#pragma once

class TSenales {
 public:
  // Must come before any thread is started: threads inherit the blocked set.
  TSenales();
  ~TSenales();
  TSenales(const TSenales&) = delete;
  TSenales& operator=(const TSenales&) = delete;

  // Readable (poll POLLIN) while a signal is pending; -1 when the descriptor could not be made.
  int Descriptor() const { return fd_; }
  // The number of a pending signal, taken; 0 when none is pending.
  int Tomar();

 private:
  int fd_ = -1;
};

// The exit status of a command ended by a signal, as a shell reports it: 130 for SIGINT, 143
// for SIGTERM.
inline int EstadoPorSenal(int senal) { return 128 + senal; }
// "SIGINT", "SIGTERM", "SIGHUP".
const char* NombreSenal(int senal);
