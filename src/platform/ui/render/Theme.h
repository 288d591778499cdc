#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Toolbar.h"

namespace tavlo::ui::render::theme {

// The house's few colours and sizes: calm slate bars, a teal for what is chosen, a warm orange for
// the one thing to press, red for what deletes, on warm paper. Text is dark ink or white.
inline Color rgb(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

inline Color ink() { return rgb(0x1E, 0x2A, 0x33); }
inline Color mutedInk() { return rgb(0x7C, 0x86, 0x8E); }
inline Color paper() { return rgb(0xF4, 0xF1, 0xEA); }
inline Color bar() { return rgb(0x24, 0x46, 0x5C); }
inline Color barEdge() { return rgb(0x17, 0x30, 0x40); }
inline Color barItem() { return rgb(0x36, 0x5E, 0x78); }
inline Color teal() { return rgb(0x1B, 0x7F, 0x8E); }
inline Color tealTint() { return rgb(0xD3, 0xE9, 0xEC); }
inline Color orange() { return rgb(0xE5, 0x7E, 0x31); }
inline Color red() { return rgb(0xC9, 0x3B, 0x2E); }
inline Color line() { return rgb(0xD8, 0xD2, 0xC6); }
inline Color fieldBorder() { return rgb(0xB5, 0xAE, 0xA2); }
inline Color groupBackground() { return rgb(0xE9, 0xE5, 0xDC); }
inline Color headerBand() { return rgb(0xE1, 0xE8, 0xEC); }
inline Color dim() { return {0, 0, 0, 0.45}; }

inline Font barTitleFont() { return Font::boldSystem(19); }
inline Font barItemFont() { return Toolbar::titleFont(); } // toolbars measure their items in it
inline Font headerFont() { return Font::boldSystem(15); }
inline Font indexFont() { return TableView::indexFont(); }

constexpr double kFieldInset = 8;
constexpr double kBarButtonHeight = 32;
constexpr double kAlertWidth = 320;
constexpr double kPickerRowHeight = 40;
constexpr double kSegmentPadding = 4; // room beside a segment's title

} // namespace tavlo::ui::render::theme
