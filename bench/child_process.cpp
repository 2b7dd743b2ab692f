#include "child_process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tvibench {

namespace {

struct Wire {
  int ok = 0;
  double seconds = 0;
  double cpuSeconds = -1;
  long startKiB = -1;
  char error[1024] = {};
};

// Resident memory now, from the kernel's view of this process.
long residentKiB() {
#ifdef _WIN32
  return -1;
#else
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
  std::fclose(f);
  return kib;
#endif
}

// User and system time of this process so far.
double cpuSecondsNow() {
#ifdef _WIN32
  return -1;
#else
  struct rusage u {};
  if (::getrusage(RUSAGE_SELF, &u) != 0) return -1;
  const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
#endif
}

Wire perform(const std::function<double()>& work) {
  Wire w;
  w.startKiB = residentKiB();
  const double cpuBefore = cpuSecondsNow();
  try {
    w.seconds = work();
    w.ok = 1;
    const double cpuAfter = cpuSecondsNow();
    if (cpuBefore >= 0 && cpuAfter >= 0) w.cpuSeconds = cpuAfter - cpuBefore;
  } catch (const std::exception& e) {
    std::snprintf(w.error, sizeof w.error, "%s", e.what());
  } catch (...) {
    std::snprintf(w.error, sizeof w.error, "excepción desconocida");
  }
  return w;
}

ChildResult fromWire(const Wire& w) {
  ChildResult r;
  r.ok = w.ok != 0;
  r.seconds = w.seconds;
  r.cpuSeconds = w.cpuSeconds;
  r.startKiB = w.startKiB;
  r.error = w.error;
  return r;
}

}  // namespace

#ifdef _WIN32

ChildResult runInChild(const std::function<double()>& work) { return fromWire(perform(work)); }

#else

ChildResult runInChild(const std::function<double()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) {
    ChildResult r;
    r.error = "pipe: " + std::string(std::strerror(errno));
    return r;
  }
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    ChildResult r;
    r.error = "fork: " + std::string(std::strerror(errno));
    return r;
  }
  if (pid == 0) {
    ::close(fds[0]);
    const Wire w = perform(work);
    const char* p = reinterpret_cast<const char*>(&w);
    std::size_t left = sizeof w;
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    std::fflush(nullptr);
    ::_exit(0);
  }
  ::close(fds[1]);
  Wire w;
  char* p = reinterpret_cast<char*>(&w);
  std::size_t got = 0;
  while (got < sizeof w) {
    const ssize_t n = ::read(fds[0], p + got, sizeof w - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  ChildResult r;
  if (got == sizeof w) {
    r = fromWire(w);
  } else {
    r.error = WIFSIGNALED(status) ? "el proceso terminó por la señal " + std::to_string(WTERMSIG(status))
                                  : "el proceso terminó sin dar resultado";
  }
  r.peakKiB = usage.ru_maxrss;  // KiB on Linux
  return r;
}

#endif

}  // namespace tvibench
