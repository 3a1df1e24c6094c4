// Linked into every fuzz target: fuzzing feeds malformed input on purpose, and each rejected
// input would otherwise echo its failure to standard error, thousands of times a second.
#include "runtime/last_error.h"

namespace {

const bool failures_quiet = [] {
    vexel::SetErrorEcho({});
    return true;
}();

}  // namespace
