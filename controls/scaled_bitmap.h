// A bitmap resource for a window's DPI. The program carries each picture at
// 100 % and at 200 %; a screen in between gets the larger one scaled down
// smoothly, which stays sharper than the small one blown up.
#pragma once

#include <windows.h>

// The picture `id` (its twice-as-large twin `id2x`) as a bitmap of its
// 100 % size times the scale of `dpi`. The caller owns the bitmap; null when
// neither resource loads.
HBITMAP LoadBitmapForDpi(UINT id, UINT id2x, UINT dpi);

// The icon `id` at `size` pixels (given for 100 %) times the scale of `dpi`:
// the icon's own image of that size where it has one, the nearest scaled
// otherwise. The caller owns the icon; null when it does not load.
HICON LoadIconForDpi(UINT id, int size, UINT dpi);
