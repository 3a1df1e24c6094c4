#pragma once

#include <memory>

namespace vexel {

class TAudioSampleLoader;

// The loaders this module registers on first use of the loader list, each made by the unit
// that implements it.
std::shared_ptr<TAudioSampleLoader> MakeWavSampleLoader();
std::shared_ptr<TAudioSampleLoader> MakeOggSampleLoader();

}  // namespace vexel
