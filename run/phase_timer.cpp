#include "run/phase_timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace brenlow {

phase_timer::phase_timer() : last_(clock::now()) {
  const char* wanted = std::getenv("BRENLOW_PHASES");
  on_ = wanted != nullptr && *wanted != '\0';
}

void phase_timer::mark(const char* phase) {
  if (!on_) return;
  const clock::time_point now = clock::now();
  const std::chrono::duration<double, std::milli> took = now - last_;
  for (auto& known : phases_) {
    if (std::strcmp(known.first, phase) == 0) {
      known.second += took.count();
      last_ = now;
      return;
    }
  }
  phases_.emplace_back(phase, took.count());
  last_ = now;
}

phase_mark phase_timer::marker() {
  if (!on_) return {};
  return [this](const char* phase) { mark(phase); };
}

std::string phase_timer::summary() const {
  std::string text = "phases (ms):";
  for (const auto& phase : phases_) {
    char figure[32];
    (void)std::snprintf(figure, sizeof figure, "%.1f", phase.second);
    text += std::string(&phase == &phases_.front() ? " " : ", ") + phase.first +
            " " + figure;
  }
  return text;
}

}  // namespace brenlow
