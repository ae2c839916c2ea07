// The end of a phase of the work (reading, the encoding's decision, the
// lines, the table, the sort, the writing), told to whoever times them.
#pragma once

#include <functional>

namespace brenlow {

// Called as the phase named ends; the name is a literal that lives for the
// whole run. An empty function is never called: libraries below run/ only
// tell, the program's own timers (BRENLOW_PHASES) measure.
using phase_mark = std::function<void(const char* phase)>;

// Calls mark with phase when there is a mark to call.
inline void mark_phase(const phase_mark& mark, const char* phase) {
  if (mark) mark(phase);
}

}  // namespace brenlow
