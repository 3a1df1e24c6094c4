#pragma once

#include <cstdint>

#include "runtime/object.h"

namespace vexel {

// A picture of the keyboard and mouse, kept up to date by a hook on the emit-event hook
// while polling is on (from the opening of a window to its closing). Key codes are 0..255
// in the Windows virtual-key numbering; buttons are 1 left, 2 right, 3 middle. Every query
// first pumps the system driver. Main thread only.

// Key codes of the commonly used keys; a letter's code is its upper-case ASCII code.
inline constexpr int32_t KEY_BACKSPACE = 8;
inline constexpr int32_t KEY_TAB = 9;
inline constexpr int32_t KEY_ENTER = 13;
inline constexpr int32_t KEY_ESCAPE = 27;
inline constexpr int32_t KEY_SPACE = 32;
inline constexpr int32_t KEY_A = 65;
inline constexpr int32_t KEY_B = 66;
inline constexpr int32_t KEY_C = 67;
inline constexpr int32_t KEY_D = 68;
inline constexpr int32_t KEY_E = 69;
inline constexpr int32_t KEY_F = 70;
inline constexpr int32_t KEY_G = 71;
inline constexpr int32_t KEY_H = 72;
inline constexpr int32_t KEY_I = 73;
inline constexpr int32_t KEY_J = 74;
inline constexpr int32_t KEY_K = 75;
inline constexpr int32_t KEY_L = 76;
inline constexpr int32_t KEY_M = 77;
inline constexpr int32_t KEY_N = 78;
inline constexpr int32_t KEY_O = 79;
inline constexpr int32_t KEY_P = 80;
inline constexpr int32_t KEY_Q = 81;
inline constexpr int32_t KEY_R = 82;
inline constexpr int32_t KEY_S = 83;
inline constexpr int32_t KEY_T = 84;
inline constexpr int32_t KEY_U = 85;
inline constexpr int32_t KEY_V = 86;
inline constexpr int32_t KEY_W = 87;
inline constexpr int32_t KEY_X = 88;
inline constexpr int32_t KEY_Y = 89;
inline constexpr int32_t KEY_Z = 90;

// The navigation block and the arrows.
inline constexpr int32_t KEY_PAGE_UP = 33;
inline constexpr int32_t KEY_PAGE_DOWN = 34;
inline constexpr int32_t KEY_END = 35;
inline constexpr int32_t KEY_HOME = 36;
inline constexpr int32_t KEY_LEFT = 37;
inline constexpr int32_t KEY_UP = 38;
inline constexpr int32_t KEY_RIGHT = 39;
inline constexpr int32_t KEY_DOWN = 40;
inline constexpr int32_t KEY_INSERT = 45;
inline constexpr int32_t KEY_DELETE = 46;

// The digits of the main block; a digit's code is its ASCII code.
inline constexpr int32_t KEY_0 = 48;
inline constexpr int32_t KEY_1 = 49;
inline constexpr int32_t KEY_2 = 50;
inline constexpr int32_t KEY_3 = 51;
inline constexpr int32_t KEY_4 = 52;
inline constexpr int32_t KEY_5 = 53;
inline constexpr int32_t KEY_6 = 54;
inline constexpr int32_t KEY_7 = 55;
inline constexpr int32_t KEY_8 = 56;
inline constexpr int32_t KEY_9 = 57;

// The keypad; its Enter is KEY_ENTER.
inline constexpr int32_t KEY_NUM0 = 96;
inline constexpr int32_t KEY_NUM1 = 97;
inline constexpr int32_t KEY_NUM2 = 98;
inline constexpr int32_t KEY_NUM3 = 99;
inline constexpr int32_t KEY_NUM4 = 100;
inline constexpr int32_t KEY_NUM5 = 101;
inline constexpr int32_t KEY_NUM6 = 102;
inline constexpr int32_t KEY_NUM7 = 103;
inline constexpr int32_t KEY_NUM8 = 104;
inline constexpr int32_t KEY_NUM9 = 105;
inline constexpr int32_t KEY_NUMMULTIPLY = 106;
inline constexpr int32_t KEY_NUMADD = 107;
inline constexpr int32_t KEY_NUMSUBTRACT = 109;
inline constexpr int32_t KEY_NUMDECIMAL = 110;
inline constexpr int32_t KEY_NUMDIVIDE = 111;

// The function keys.
inline constexpr int32_t KEY_F1 = 112;
inline constexpr int32_t KEY_F2 = 113;
inline constexpr int32_t KEY_F3 = 114;
inline constexpr int32_t KEY_F4 = 115;
inline constexpr int32_t KEY_F5 = 116;
inline constexpr int32_t KEY_F6 = 117;
inline constexpr int32_t KEY_F7 = 118;
inline constexpr int32_t KEY_F8 = 119;
inline constexpr int32_t KEY_F9 = 120;
inline constexpr int32_t KEY_F10 = 121;
inline constexpr int32_t KEY_F11 = 122;
inline constexpr int32_t KEY_F12 = 123;

// Mouse buttons.
inline constexpr int32_t MOUSE_LEFT = 1;
inline constexpr int32_t MOUSE_RIGHT = 2;
inline constexpr int32_t MOUSE_MIDDLE = 3;

// Turns recording on, taking only events whose source is `source` (null: all events).
// Clears the whole input state. Does nothing when already on.
void StartInputPolling(const ObjectPtr& source);
// Turns recording off and clears the input state. Does nothing when already off.
void StopInputPolling();

// 1 once per window close request, then 0 until the next request.
int32_t AppTerminateRequested();
// 1 while the application is suspended (between the suspend and the resume event).
int32_t AppIsSuspended();

// Presses of `key` since the last call; resets the count.
int32_t KeyWasHit(int32_t key);
// 1 while `key` is held down.
int32_t KeyIsDown(int32_t key);
// The oldest unread typed character (Latin-1 codes 1..255), or 0 when none is left. At most
// 256 unread characters are kept; later ones are dropped.
int32_t NextTypedChar();

// The pointer's position in the window, and the wheel's position.
// @{
int32_t MouseXPos();
int32_t MouseYPos();
int32_t MouseWheelPos();
// @}
// The change since this function's previous call (the first call returns the value itself).
// @{
int32_t MouseXDelta();
int32_t MouseYDelta();
int32_t MouseWheelDelta();
// @}
// Clicks of `button` since the last call; resets the count.
int32_t MouseWasHit(int32_t button);
// 1 while `button` is held down.
int32_t MouseIsDown(int32_t button);

// Forgets keys and typed characters; mouse state stays.
void FlushInput();
// Forgets buttons and sets the wheel position to 0; the delta references stay.
void FlushMouseInput();

// Block until a key is pressed (its code), a character typed, or a button clicked.
// @{
int32_t WaitForKey();
int32_t WaitForTypedChar();
int32_t WaitForMouse();
// @}

}  // namespace vexel
