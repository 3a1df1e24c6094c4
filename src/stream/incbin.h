#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <span>

#include "runtime/string.h"

namespace vexel {

// Resources compiled into the program, opened as "incbin::name". Registering a name twice
// replaces the earlier bytes. The bytes must live for the whole run (static data).
void RegisterIncbin(const String& name, std::span<const uint8_t> bytes);
// The bytes of a registered resource; empty when there is none by that name.
std::span<const uint8_t> IncbinData(const String& name);

}  // namespace vexel
