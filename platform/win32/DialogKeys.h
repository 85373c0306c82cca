#pragma once
#include <windows.h>

#include "platform/Dialog.h"

// The keys the Win32 backend handles itself for a dialog's picture areas, before IsDialogMessageW sees
// them. Internal to the layer.
namespace platform::win32 {

// True when the key message was taken for the areas (Tab and Shift+Tab through lists and areas, Enter
// and Space on a focused area, every other key while an area has the focus).
bool takeAreaKey(Dialog& dialog, const MSG& message);

}  // namespace platform::win32
