// The launcher window's controls, their places and looks: one table that both
// front ends build their windows from. Positions are client pixels at 96 dpi;
// the panels' are relative to the group box.
#pragma once

#include "app/AppConsts.h"
#include "app/AppTypes.h"

inline constexpr const char* SLauncherFontName = "Tahoma";
inline constexpr int LauncherFontPixels = 11;
inline constexpr const char* SHeadingFontName = "굴림";
inline constexpr TColorRGB HeadingColor = 0x0000FF;

struct THeadingSpec {
    const char* Name;
    const char* Text;
    int FontPixels;
    TRect Bounds;
};
inline constexpr THeadingSpec LauncherHeading{"JvHTLabel1", SLauncherHeading, 21, {8, 8, 266, 22}};
inline constexpr THeadingSpec LauncherChoiceHeadingSpec{"JvHTLabel2", SLauncherChoiceHeading, 19, {10, 120, 261, 20}};

inline constexpr TRect LauncherGroupBox{8, 36, 266, 75};

struct TPanelSpec {
    const char* Name;
    const char* Caption;
    TRect Bounds;
};
inline constexpr TPanelSpec LauncherPanels[] = {
    {"Panel2", SPanelGomPlayer, {3, 15, 124, 26}},
    {"Panel1", SPanelKMP, {139, 15, 124, 26}},
    {"Panel5", SPanelDaumPot, {3, 46, 124, 26}},
    {"Panel3", SPanelPotPlayer, {139, 46, 124, 26}},
};

struct TButtonSpec {
    const char* Name;
    const char* Caption;
    TRect Bounds;
};
inline constexpr TButtonSpec LauncherVideoButton{"XiButton1", SButtonVideo, {20, 145, 91, 46}};
inline constexpr TButtonSpec LauncherImageButton{"XiButton2", SButtonImage, {160, 145, 91, 46}};

// The gradient buttons' looks. The face runs from Face at the top to Gradient
// at the bottom, inside a one-pixel border, with light edges on the top and
// left and dark edges on the bottom and right.
enum TGradientButtonState { gbsNormal = 0, gbsMouseOver = 1, gbsPressed = 2, gbsDisabled = 3 };

struct TGradientButtonColors {
    TColorRGB Face;
    TColorRGB Gradient;
    TColorRGB LightEdge;
    TColorRGB DarkEdge;
    TColorRGB Border;
    TColorRGB Text;
};

inline constexpr TGradientButtonColors LauncherButtonColors[4] = {
    /* gbsNormal    */ {0xFFECC6, 0xFFBE37, 0xFFE7B9, 0xE89C00, 0x805600, 0x000000},
    /* gbsMouseOver */ {0xFFE7B3, 0xF0A300, 0xFFDA95, 0xD28E00, 0x805600, 0x000000},
    /* gbsPressed   */ {0xFFBA2B, 0xFFD277, 0xB77700, 0xFFD98A, 0xA67000, 0x000000},
    /* gbsDisabled  */ {0xEEEEEE, 0xFFFFFF, 0xFFFFFF, 0xD2D2D2, 0x808080, 0x808080},
};
inline constexpr TColorRGB LauncherFocusRectColor = 0xFF8040;

// The state whose colours a gradient button paints with.
constexpr TGradientButtonState GradientButtonState(bool Enabled, bool Down, bool MouseOver) {
    if (!Enabled) return gbsDisabled;
    if (Down) return gbsPressed;
    return MouseOver ? gbsMouseOver : gbsNormal;
}

// Top-left corner of a window of OuterSize centred on a screen area.
constexpr TPoint CentredWindowPosition(TRect Screen, TSize OuterSize) {
    return {Screen.Left + (Screen.Width - OuterSize.Width) / 2, Screen.Top + (Screen.Height - OuterSize.Height) / 2};
}
