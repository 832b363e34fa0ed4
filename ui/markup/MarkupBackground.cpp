#include "ui/markup/MarkupBackground.h"

#include <algorithm>

namespace {

COLORREF Lerp(COLORREF a, COLORREF b, int pos, int span) {
  if (span <= 0) return a;
  auto ch = [&](int x, int y) { return static_cast<BYTE>(x + (y - x) * pos / span); };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
  const RECT rc{l, t, r, b};
  const COLORREF old = SetBkColor(dc, c);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

// The colour at position pos of span for a profile of colour stops.
COLORREF Profile(int effect, COLORREF b, COLORREF m, COLORREF e, int pos, int span) {
  switch (effect) {
    case 3:
    case 4:
    case 11:
    case 12:
    case 15:  // out to the end colour in the middle and back
      return pos * 2 < span ? Lerp(b, e, pos * 2, span) : Lerp(e, b, pos * 2 - span, span);
    case 5:
    case 6:
    case 9:
    case 10:
    case 13:
    case 14:  // three colours
      return pos * 2 < span ? Lerp(b, m, pos * 2, span) : Lerp(m, e, pos * 2 - span, span);
    default: return Lerp(b, e, pos, span);
  }
}

bool Vertical(int effect) {
  switch (effect) {
    case 2:
    case 4:
    case 6:
    case 10:
    case 12:
    case 13:
    case 15: return true;
    default: return false;
  }
}

}  // namespace

void PaintMarkupEffect(HDC dc, const RECT& rc, int effect, COLORREF begin, COLORREF middle, COLORREF end,
                       int granularity) {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (effect < 0 || w <= 0 || h <= 0) return;
  const int g = std::clamp(granularity, 1, 64);
  if (effect == 0 || effect > 15) {
    Fill(dc, rc.left, rc.top, rc.right, rc.bottom, begin);
    return;
  }
  if (effect == 7) {  // noise: blocks of the granularity around the begin colour
    unsigned seed = 0x2545F491u;
    for (int y = rc.top; y < rc.bottom; y += g)
      for (int x = rc.left; x < rc.right; x += g) {
        seed = seed * 1103515245u + 12345u;
        const int pos = static_cast<int>(seed >> 16) % 100;
        Fill(dc, x, y, std::min<int>(x + g, rc.right), std::min<int>(y + g, rc.bottom), Lerp(begin, end, pos, 300));
      }
    return;
  }
  if (effect == 8) {  // diagonal shade from the top-left corner
    const int span = std::max(1, w + h);
    for (int y = rc.top; y < rc.bottom; y += g)
      for (int x = rc.left; x < rc.right; x += g)
        Fill(dc, x, y, std::min<int>(x + g, rc.right), std::min<int>(y + g, rc.bottom),
             Lerp(begin, end, (x - rc.left) + (y - rc.top), span));
    return;
  }
  const bool vertical = Vertical(effect);
  const int span = std::max(1, (vertical ? h : w) - 1);
  for (int p = 0; p < (vertical ? h : w); p += g) {
    const COLORREF c = Profile(effect, begin, middle, end, std::min(p + g / 2, span), span);
    if (vertical)
      Fill(dc, rc.left, rc.top + p, rc.right, std::min<int>(rc.top + p + g, rc.bottom), c);
    else
      Fill(dc, rc.left + p, rc.top, std::min<int>(rc.left + p + g, rc.right), rc.bottom, c);
  }
}

void DrawMarkupFrame(HDC dc, const RECT& rc, COLORREF topLeft, COLORREF bottomRight, int width) {
  const int t = std::clamp(width, 1, 50);
  for (int i = 0; i < t; ++i) {
    const int l = rc.left + i, tp = rc.top + i, r = rc.right - i, b = rc.bottom - i;
    if (r - l < 1 || b - tp < 1) break;
    Fill(dc, l, tp, r, tp + 1, topLeft);
    Fill(dc, l, tp, l + 1, b, topLeft);
    Fill(dc, l, b - 1, r, b, bottomRight);
    Fill(dc, r - 1, tp, r, b, bottomRight);
  }
}
