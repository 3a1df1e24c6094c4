#pragma once

#include <memory>

namespace vexel {

class TStreamFactory;

// The factories this module registers on first use of the factory list. Each is made by
// the unit that implements it.
std::shared_ptr<TStreamFactory> MakeIncbinStreamFactory();
std::shared_ptr<TStreamFactory> MakeTextStreamFactory();

}  // namespace vexel
