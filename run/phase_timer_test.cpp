#include "run/phase_timer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace brenlow {

namespace {

void set_phases_variable(const char* value) {
#if defined(_WIN32)
  (void)_putenv_s("BRENLOW_PHASES", value);
#else
  if (*value == '\0') {
    (void)unsetenv("BRENLOW_PHASES");
  } else {
    (void)setenv("BRENLOW_PHASES", value, 1);
  }
#endif
}

// The phase names of a summary, in its order, without their times.
std::vector<std::string> names_in(const std::string& summary) {
  const std::string head = "phases (ms): ";
  std::vector<std::string> names;
  if (summary == "phases (ms):") return names;  // none marked
  if (summary.compare(0, head.size(), head) != 0) return {"(no head)"};
  std::size_t start = head.size();
  while (start < summary.size()) {
    std::size_t end = summary.find(", ", start);
    if (end == std::string::npos) end = summary.size();
    const std::string part = summary.substr(start, end - start);
    const std::size_t space = part.rfind(' ');
    const std::string figure = part.substr(space + 1);
    // A time in milliseconds with one decimal.
    if (space == std::string::npos || figure.size() < 3 ||
        figure[figure.size() - 2] != '.') {
      return {"(bad figure: " + part + ")"};
    }
    names.push_back(part.substr(0, space));
    start = end + 2;
  }
  return names;
}

TEST(PhaseTimer, NamesEachPhaseOnceInTheOrderItFirstEnded) {
  struct {
    const char* variable;
    std::vector<const char*> marks;
    bool on;
    std::vector<std::string> names;
  } const cases[] = {
      {"", {"read", "lines"}, false, {}},
      {"1", {}, true, {}},
      {"1",
       {"read", "decide encoding", "lines"},
       true,
       {"read", "decide encoding", "lines"}},
      // The write of -o and its commit: one phase, the sum of both.
      {"yes",
       {"read", "write", "sort", "write"},
       true,
       {"read", "write", "sort"}},
  };
  for (const auto& c : cases) {
    set_phases_variable(c.variable);
    phase_timer timer;
    EXPECT_EQ(timer.on(), c.on) << c.variable;
    const phase_mark mark = timer.marker();
    EXPECT_EQ(static_cast<bool>(mark), c.on) << c.variable;
    for (const char* phase : c.marks) mark_phase(mark, phase);
    if (c.on) {
      EXPECT_EQ(names_in(timer.summary()), c.names);
    }
  }
  set_phases_variable("");
}

}  // namespace

}  // namespace brenlow
