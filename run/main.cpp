#include <cstdio>
#include <new>

#include "run/run_conversion.h"

int main(int argc, char** argv) {
  try {
    return run_conversion(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("brenlow: out of memory\n", stderr);
    return 1;
  }
}
