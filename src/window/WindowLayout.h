#pragma once

#include "window/AnchorWindowSystem.h"

#include <functional>
#include <string>
#include <string_view>

namespace orvanta::window {

// The arithmetic of the main window, its page strip and its toolbar, apart from any widget
// so that it can be checked numerically. Pure functions; any thread.

// A rectangle in client coordinates, right and bottom exclusive.
using LayoutRect = AnchorRect;

// One coordinate after a resize: the product in single precision, 0.5 added in double
// precision, then truncated.
int ScaleCoordinate(int value, float scale);

// The controls of the four top panels and the captions of their lists keep their height when
// the window rescales.
bool KeepsHeightOnRescale(int controlId);

// A control's new rectangle for the scale factors sx and sy.
LayoutRect RescaleControl(int controlId, const LayoutRect& rect, float sx, float sy);

// The page-strip segment under x on a strip w pixels wide (the comparisons unsigned, the
// divisions truncating); a point outside the strip keeps the previous segment.
int StripSegment(unsigned x, unsigned w, int previous);

// Whether a point lies strictly inside a rectangle (not on its border).
bool StrictlyInside(const LayoutRect& rect, int x, int y);

// The display flags the toolbar's tooltips follow.
struct ChartDisplayFlags {
    bool abscissaShown = true;
    bool ordinateShown = true;
    bool seriesShown[3] = {true, true, true};
};

// The string-table entry a toolbar button's tooltip shows; 0 for identifier 0 (no tip), -1
// for an identifier that keeps the text last shown.
int ToolbarTipString(int commandId, const ChartDisplayFlags& flags);

// Breaks a tooltip text into lines no wider than maxWidth as measured: at spaces where the
// text has them, between any two characters where a word alone is too wide (Chinese text
// has no spaces). Lines are joined with '\n'.
std::string WrapTipText(std::string_view text, int maxWidth,
                        const std::function<int(std::string_view)>& measure);

} // namespace orvanta::window
