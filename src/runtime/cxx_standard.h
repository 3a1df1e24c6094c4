#pragma once

// Every public header includes this one first, so that a program compiled below the standard
// the headers are written in learns it from the first line, not from errors deep inside.
#if __cplusplus < 202002L
#error "Vexel needs C++20 or later: compile with -std=c++20 (CMake: cxx_std_20)"
// A missing header is the one error that ends compilation, so nothing follows the line above.
#include <vexel-needs-cxx20>
#endif
