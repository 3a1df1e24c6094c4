#pragma once

// The bytes of the game's saved files, for tests that prepare or expect them. Options and
// every record of High.Score have the same shape: the name's bytes (Latin-1, as the test
// gives them), CR LF, then a 32-bit integer in little-endian order.

#include <cstdint>
#include <string>
#include <vector>

namespace morvelle::testing {

// One name line and its integer.
inline std::vector<uint8_t> NameAndInt32(const std::string& name, int32_t value) {
    std::vector<uint8_t> bytes(name.begin(), name.end());
    bytes.insert(bytes.end(), {0x0D, 0x0A});
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
    return bytes;
}

// The whole Options file: the player's name and the sound switch (1 on, 0 off).
inline std::vector<uint8_t> OptionsBytes(const std::string& name, int32_t sound) {
    return NameAndInt32(name, sound);
}

// One record of High.Score; the file is ten of them one after the other.
inline std::vector<uint8_t> ScoreRecord(const std::string& name, int32_t points) {
    return NameAndInt32(name, points);
}

}  // namespace morvelle::testing
