// Two jobs at once, on two cores where there are two.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace brenlow {

// Runs side on a thread of its own while here runs on this one, and
// returns when both are done, throwing what here threw, else what side
// threw. The two must touch no memory in common that either writes. Where
// no thread can be started (a process limit), side runs after here.
template <class Side, class Here>
void run_beside(const Side& side, const Here& here) {
  std::exception_ptr side_failure;
  const auto guarded_side = [&] {
    try {
      side();
    } catch (...) {
      side_failure = std::current_exception();
    }
  };
  std::thread thread;
  try {
    thread = std::thread(guarded_side);
  } catch (const std::system_error&) {
  }
  std::exception_ptr here_failure;
  try {
    here();
  } catch (...) {
    here_failure = std::current_exception();
  }
  if (thread.joinable()) {
    thread.join();
  } else if (!here_failure) {
    guarded_side();
  }
  if (here_failure) std::rethrow_exception(here_failure);
  if (side_failure) std::rethrow_exception(side_failure);
}

}  // namespace brenlow
