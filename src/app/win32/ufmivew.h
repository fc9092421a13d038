// The picture viewer window of the Win32 front end: a window without a frame
// over the whole monitor, black, the picture centred at its fitted scale, and
// three transparent caption buttons drawn over it.
#pragma once

#include <array>

#include "app/PictureViewer.h"
#include "app/win32/Win32Window.h"

class TfmIView : public TWin32Window, private TViewerWindow {
public:
    explicit TfmIView(HWND Owner);
    ~TfmIView() override;

    // Covers the owner's monitor, opens and lists the archive, arms the timer.
    void Init();
    // Shows the window modally (the owner disabled) until it is closed;
    // returns at once when Init already closed it.
    void ShowModal();
    // Ends the modal show.
    void Close();

    void Timer1Timer();
    void FormResize();

    TPictureViewer& Viewer() { return FViewer; }
    const TBitmap32& Bitmap() const { return FBitmap; }
    float Scale() const { return FScale; }
    bool ModalRunning() const { return FModalRunning; }
    // Where button Index of the bindings table lies now, in client pixels.
    TRect ButtonBounds(std::size_t Index) const { return FButtonBounds[Index]; }
    // Paints the client area (as WM_PAINT does) into Dc.
    void PaintTo(HDC Dc);

    static constexpr UINT_PTR Timer1 = 1;
    // Posted by the decoding thread when a decode has ended.
    static constexpr UINT WmPictureReady = WM_APP + 1;

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    TSize ViewSize() const override;
    TPictureMemory ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) override;
    void CloseViewer() override { Close(); }
    void QueuePictureReady() override;
    int ButtonAt(int X, int Y) const;

    HWND FOwner;
    const int FDpi;  // the system's: buttons and their offsets are scaled to it
    TPictureViewer FViewer;
    TBitmap32 FBitmap;
    TBitmap32 FScaled;
    float FScale = 1.0f;
    std::array<TRect, ViewerButtonCount> FButtonBounds{};
    std::array<TFontHandle, ViewerButtonCount> FButtonFonts;
    int FPressedButton = -1;
    bool FModalRunning = false;
    bool FModalDone = false;
};
