#pragma once

namespace vexel {

// Registers the drivers other than Null, oldest first: "OpenAL" when its library loads,
// then the mixer's "Sonmix OpenSound System" and "Sonmix". Called once by the driver list.
void RegisterBuiltinAudioDrivers();

}  // namespace vexel
