// The launcher's controls, drawn with GDI: a label in one bold colour, a
// raised panel with a centred caption, and the gradient push button with hot
// tracking, a pressed look and a coloured focus rectangle.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/LauncherLayout.h"
#include "app/win32/Win32Window.h"

// A window that paints all of itself, double-buffered, so its background is
// never erased first.
class TPaintedWindow : public TWin32Window {
protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
    virtual void Paint(HDC Dc, TSize Size) = 0;
};

// A window that shows one line of text on the button face and nothing else;
// the label and the caption panel differ only in their look.
class TTextFaceWindow : public TPaintedWindow {
protected:
    struct TLook {
        bool RaisedEdge;
        UINT Format;                     // DrawText alignment
        std::optional<TColorRGB> Color;  // none: the system's button text colour
        bool ClickThrough;               // clicks go to what lies beneath
    };

    TTextFaceWindow(HWND Parent, const wchar_t* ClassName, const std::wstring& Text, HFONT Font, const TRect& Bounds,
                    const TLook& Look);
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
    void Paint(HDC Dc, TSize Size) override;

private:
    std::wstring FText;
    HFONT FFont;
    TLook FLook;
};

// A label that draws its text in one font and colour on the button face.
class THTLabel : public TTextFaceWindow {
public:
    THTLabel(HWND Parent, const std::wstring& Text, HFONT Font, TColorRGB Color, const TRect& Bounds);
};

// A raised panel with its caption centred; a label, it does nothing when clicked.
class TCaptionPanel : public TTextFaceWindow {
public:
    TCaptionPanel(HWND Parent, const std::wstring& Caption, HFONT Font, const TRect& Bounds);
};

// Paints a gradient button's face, edges, border, caption (at the top of the
// face) and, when Focused, the focus rectangle into Dc over Size.
void PaintGradientButton(HDC Dc, TSize Size, const TGradientButtonColors& Colors, const std::wstring& Caption,
                         HFONT Font, bool Focused, TColorRGB FocusColor);

class TGradientButton : public TPaintedWindow {
public:
    TGradientButton(HWND Parent, UINT_PTR Id, const std::wstring& Caption, HFONT Font, const TRect& Bounds);

    std::function<void()> OnClick;
    TGradientButtonState State() const;
    bool MouseOver() const { return FMouseOver; }

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
    void Paint(HDC Dc, TSize Size) override;

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
