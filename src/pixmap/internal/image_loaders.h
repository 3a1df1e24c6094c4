#pragma once

#include <memory>

namespace vexel {

class TPixmapLoader;

// The loaders built into this module, each made by the unit that implements it.
std::shared_ptr<TPixmapLoader> MakePNGLoader();
std::shared_ptr<TPixmapLoader> MakeBMPLoader();
std::shared_ptr<TPixmapLoader> MakeJPGLoader();
std::shared_ptr<TPixmapLoader> MakeTGALoader();

}  // namespace vexel
