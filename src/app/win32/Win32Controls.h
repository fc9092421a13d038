// The launcher's controls, drawn with GDI: a label in one bold colour, a
// raised panel with a centred caption, and the gradient push button with hot
// tracking, a pressed look and a coloured focus rectangle.
#pragma once

#include <functional>
#include <string>

#include "app/LauncherLayout.h"
#include "app/win32/Win32Window.h"

// A label that draws its text in one font and colour on the button face.
class THTLabel : public TWin32Window {
public:
    THTLabel(HWND Parent, const std::wstring& Text, HFONT Font, TColorRGB Color, const TRect& Bounds);

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    std::wstring FText;
    HFONT FFont;
    TColorRGB FColor;
};

// A raised panel with its caption centred; a label, it does nothing when clicked.
class TCaptionPanel : public TWin32Window {
public:
    TCaptionPanel(HWND Parent, const std::wstring& Caption, HFONT Font, const TRect& Bounds);

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    std::wstring FCaption;
    HFONT FFont;
};

// Paints a gradient button's face, edges, border, caption (at the top of the
// face) and, when Focused, the focus rectangle into Dc over Size.
void PaintGradientButton(HDC Dc, TSize Size, const TGradientButtonColors& Colors, const std::wstring& Caption,
                         HFONT Font, bool Focused, TColorRGB FocusColor);

class TGradientButton : public TWin32Window {
public:
    TGradientButton(HWND Parent, UINT_PTR Id, const std::wstring& Caption, HFONT Font, const TRect& Bounds);

    std::function<void()> OnClick;
    TGradientButtonState State() const;
    bool MouseOver() const { return FMouseOver; }

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    void SetMouseOver(bool Over);
    void SetDown(bool Down);
    void Click();

    std::wstring FCaption;
    HFONT FFont;
    bool FMouseOver = false;
    bool FDown = false;
    bool FTracking = false;  // the left button went down here and is held
    bool FSpaceDown = false;
};
