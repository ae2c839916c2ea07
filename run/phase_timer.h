// The program's own timers of the phases of a run, so that a slowdown
// shows where it is (bench/run.sh prints them): with the environment
// variable BRENLOW_PHASES set and not empty, the time of each phase goes to
// standard error as the run ends.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "base/phase_mark.h"

namespace brenlow {

class phase_timer {
 public:
  // On when BRENLOW_PHASES is set and not empty; the clock starts now.
  phase_timer();
  bool on() const { return on_; }
  // The phase that has just ended: the time since the last mark (or the
  // start) is its time. A phase marked twice (the write of -o, then its commit)
  // is given the sum.
  void mark(const char* phase);
  // A mark for the libraries (empty, so never called, when off).
  phase_mark marker();
  // "phases (ms): read 12.3, decide encoding 4.0, ...", each phase in the
  // order it ended, in milliseconds.
  std::string summary() const;

 private:
  using clock = std::chrono::steady_clock;
  bool on_ = false;
  clock::time_point last_;
  std::vector<std::pair<const char*, double>> phases_;
};

}  // namespace brenlow
