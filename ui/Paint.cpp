#include "ui/Paint.h"

void FillGradient(HDC dc, const RECT& rc, COLORREF from, COLORREF to, bool vertical) {
  auto channel = [](BYTE c) { return static_cast<COLOR16>(c << 8); };
  TRIVERTEX v[2] = {
      {rc.left, rc.top, channel(GetRValue(from)), channel(GetGValue(from)), channel(GetBValue(from)), 0},
      {rc.right, rc.bottom, channel(GetRValue(to)), channel(GetGValue(to)), channel(GetBValue(to)), 0},
  };
  GRADIENT_RECT r{0, 1};
  GradientFill(dc, v, 2, &r, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

COLORREF MixColour(COLORREF a, COLORREF b, int percentOfB) {
  auto ch = [&](int x, int y) { return static_cast<BYTE>((x * (100 - percentOfB) + y * percentOfB) / 100); };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}
