#include <cstdint>

#include "platform/key_codes.h"

namespace vexel {

namespace {

struct KeyMapping {
    unsigned long from;
    int32_t code;
};

// Whole keysyms that need their own code.
constexpr KeyMapping kWholeKeysyms[] = {
    {0xff61, 42},  // Print
    {0xff63, 45},  // Insert
    {0xff67, 93},  // Menu
};

// Keysyms by their low byte (Latin-1 and the 0xff function block share one space here).
constexpr KeyMapping kLowBytes[] = {
    {80, 36},    // Home
    {85, 33},    // Page Up
    {86, 34},    // Page Down
    {87, 35},    // End
    {255, 46},   // Delete
    {20, 145},   // Scroll Lock
    {127, 144},  // Num Lock
    {141, 13},   // keypad Enter
    {149, 103},  // keypad 7 (Home)
    {150, 100},  // keypad 4 (Left)
    {151, 104},  // keypad 8 (Up)
    {152, 102},  // keypad 6 (Right)
    {153, 98},   // keypad 2 (Down)
    {154, 105},  // keypad 9 (Page Up)
    {155, 99},   // keypad 3 (Page Down)
    {156, 97},   // keypad 1 (End)
    {157, 101},  // keypad 5 (Begin)
    {158, 96},   // keypad 0 (Insert)
    {159, 110},  // keypad decimal (Delete)
    {170, 106},  // keypad *
    {171, 107},  // keypad +
    {173, 109},  // keypad -
    {175, 111},  // keypad /
    {225, 160},  // Shift L
    {226, 161},  // Shift R
    {227, 162},  // Control L
    {228, 163},  // Control R
    {233, 164},  // Alt L
    {234, 165},  // Alt R
    {235, 91},   // Super L
    {236, 92},   // Super R
    {39, 222},   // '
    {44, 188},   // ,
    {45, 189},   // -
    {46, 190},   // .
    {47, 191},   // /
    {59, 186},   // ;
    {61, 187},   // =
    {91, 219},   // [
    {92, 226},   // backslash
    {93, 221},   // ]
    {96, 192},   // `
};

}  // namespace

int32_t KeyCodeForKeysym(unsigned long keysym) {
    for (const auto& mapping : kWholeKeysyms) {
        if (mapping.from == keysym) return mapping.code;
    }
    const int32_t k = static_cast<int32_t>(keysym & 0xff);
    if (k >= 97 && k <= 126) return k - 32;   // a-z and the four after z
    if (k >= 81 && k <= 84) return k - 44;    // Left, Up, Right, Down
    if (k >= 190 && k <= 201) return k - 78;  // F1-F12
    for (const auto& mapping : kLowBytes) {
        if (mapping.from == static_cast<unsigned long>(k)) return mapping.code;
    }
    return k;
}

}  // namespace vexel
