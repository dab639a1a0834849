// The window's icons: the program's MAINICON, or one made from a picture.
#pragma once

#include "toolkit/win32/Win32Handles.h"

class TBitmap;

namespace toolkit::win32 {

// The group icon MAINICON of the executable at the given size, or null when
// the program has none. The system owns it (shared): never destroy it.
HICON LoadProgramIcon(int size);

// An opaque icon showing the picture; null when the picture is empty or the
// system cannot make one.
IconHandle IconFromBitmap(const TBitmap& picture);

}  // namespace toolkit::win32
