// Background effects of the mark-up controls: solid, gradients across or
// down (two colours, out-and-back, three colours), shades, noise; painted
// in bands as wide as the granularity.
#pragma once

#include <windows.h>

// Effect numbers: -1 transparent (nothing painted), 0 solid, 1 hgradient,
// 2 vgradient, 3 hcgradient, 4 vcgradient, 5 3hgradient, 6 3vgradient,
// 7 noise, 8 diagshade, 9 hshade, 10 vshade; 11 to 15 (bumps, metal) are
// drawn as the nearest gradient.
void PaintMarkupEffect(HDC dc, const RECT& rc, int effect, COLORREF begin, COLORREF middle, COLORREF end,
                       int granularity);
// A frame of the given width: topLeft colour on the top and left sides,
// bottomRight on the others.
void DrawMarkupFrame(HDC dc, const RECT& rc, COLORREF topLeft, COLORREF bottomRight, int width);
