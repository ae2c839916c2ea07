// What is wrong with a line of the input, or with the whole input.
#pragma once

#include <cstddef>
#include <string>

namespace brenlow {

struct line_problem {
  std::size_t line_number = 0;  // 1-based; 0 when it concerns the whole text
  std::string message;
};

}  // namespace brenlow
