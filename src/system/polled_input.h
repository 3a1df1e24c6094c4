#pragma once

#include <cstdint>

#include "runtime/object.h"

namespace vexel {

// A picture of the keyboard and mouse, kept up to date by a hook on the emit-event hook
// while polling is on (from the opening of a window to its closing). Key codes are 0..255
// in the Windows virtual-key numbering; buttons are 1 left, 2 right, 3 middle. Every query
// first pumps the system driver. Main thread only.

// Turns recording on, taking only events whose source is `source` (null: all events).
// Clears the whole input state. Does nothing when already on.
void StartInputPolling(const ObjectPtr& source);
// Turns recording off and clears the input state. Does nothing when already off.
void StopInputPolling();

// 1 once per window close request, then 0 until the next request.
int32_t AppTerminateRequested();
int32_t AppIsSuspended();

// Presses of `key` since the last call; resets the count.
int32_t KeyWasHit(int32_t key);
int32_t KeyIsDown(int32_t key);
// The oldest unread typed character (Latin-1 codes 1..255), or 0 when none is left. At most
// 256 unread characters are kept; later ones are dropped.
int32_t NextTypedChar();

int32_t MouseXPos();
int32_t MouseYPos();
int32_t MouseWheelPos();
// The change since this function's previous call (the first call returns the value itself).
int32_t MouseXDelta();
int32_t MouseYDelta();
int32_t MouseWheelDelta();
// Clicks of `button` since the last call; resets the count.
int32_t MouseWasHit(int32_t button);
int32_t MouseIsDown(int32_t button);

// Forgets keys and typed characters; mouse state stays.
void FlushInput();
// Forgets buttons and sets the wheel position to 0; the delta references stay.
void FlushMouseInput();

// Block until a key is pressed (its code), a character typed, or a button clicked.
int32_t WaitForKey();
int32_t WaitForTypedChar();
int32_t WaitForMouse();

}  // namespace vexel
