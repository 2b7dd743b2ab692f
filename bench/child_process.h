#pragma once
// Runs one measurement in a process of its own, so that the peak memory of
// one run is not mixed with another's and the parent stays small.

#include <functional>
#include <string>

namespace tvibench {

struct ChildResult {
  bool ok = false;
  double seconds = 0;    // what the work reported (wall-clock time)
  double cpuSeconds = -1;  // processor time (user and system) of the whole work; -1 when unknown
  long peakKiB = -1;     // the child's peak resident memory; -1 when unknown
  long startKiB = -1;    // its resident memory when the work began
  std::string error;     // the failure's message when !ok
};

// Calls `work` in a child process (in this one where the platform has no
// fork) and returns the seconds it reports. An exception in `work` is a
// failed result carrying its message.
ChildResult runInChild(const std::function<double()>& work);

}  // namespace tvibench
