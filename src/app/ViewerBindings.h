// What the viewer does on a key or a button: one table of named commands,
// read by both front ends for their keys and their buttons alike.
#pragma once

#include <cstddef>

#include "app/AppTypes.h"

enum TViewerCommand { vcNone, vcNextPicture, vcCloseViewer };

struct TViewerCommandName {
    TViewerCommand Command;
    const char* Name;
};
inline constexpr TViewerCommandName ViewerCommandNames[] = {
    {vcNone, "none"},
    {vcNextPicture, "next-picture"},
    {vcCloseViewer, "close-viewer"},
};

// Keys by meaning; each front end maps its own key codes onto these.
enum TViewerKey { vkOther, vkRight, vkSpace, vkPageDown, vkEscape };

struct TViewerKeyBinding {
    TViewerKey Key;
    TViewerCommand Command;
};
inline constexpr TViewerKeyBinding ViewerKeyBindings[] = {
    {vkRight, vcNextPicture},
    {vkSpace, vcNextPicture},
    {vkPageDown, vcNextPicture},
    {vkEscape, vcCloseViewer},
};

// The transparent buttons over the picture: caption, font height, caption
// colour, design place, and the command a click runs. "<" closes like "X".
struct TViewerButtonSpec {
    const char* Name;
    const char* Caption;
    int FontPixels;
    TColorRGB Color;
    TRect Design;
    TViewerCommand Command;
};
inline constexpr const char* SViewerButtonFontName = "Tahoma";
inline constexpr TViewerButtonSpec ViewerButtons[] = {
    {"JvTransparentButton1", "X", 20, 0xFFFFFF, {608, 3, 40, 40}, vcCloseViewer},
    {"JvTransparentButton2", "<", 19, 0x008000, {200, 235, 65, 40}, vcCloseViewer},
    {"JvTransparentButton3", ">", 19, 0x008000, {300, 235, 65, 40}, vcNextPicture},
};
inline constexpr std::size_t ViewerButtonCount = sizeof(ViewerButtons) / sizeof(ViewerButtons[0]);

TViewerCommand ViewerCommandForKey(TViewerKey Key);
const char* ViewerCommandName(TViewerCommand Command);

// Where button Index (into ViewerButtons) goes in a window of Width x Height,
// divisions truncating: "X" in the top right corner, "<" and ">" either side
// of the bottom centre. Dpi is what the window's pixels are drawn at: the
// buttons' sizes and their offsets from the edges and the centre are 96-dpi
// design pixels scaled to it (a front end that lays out in device-independent
// pixels passes 96).
TPoint ViewerButtonPosition(std::size_t Index, int Width, int Height, int Dpi = 96);
