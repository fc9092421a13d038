// The launcher window of the Win32 front end: half a second after it is
// shown it looks into the content folder once and runs the video player,
// opens the picture viewer, offers both, or says there is nothing to run.
#pragma once

#include <memory>

#include "app/ContentScan.h"
#include "app/win32/Win32Controls.h"

class TForm1 : public TWin32Window, private TLauncherActions {
public:
    // QuitOnClose: closing the window ends the message loop (the program's
    // main window); tests keep their loop.
    explicit TForm1(bool QuitOnClose = true);
    ~TForm1() override;

    // Shows the window; the scan follows half a second later.
    void Show();
    // Closes the window: it is destroyed and, as main window, ends the program.
    void Close() override;

    // The video action: writes the batch file that starts the first installed
    // player on the content folder, hands it to the shell, deletes it a second
    // later.
    void RunVideoPlayer() override;
    void Timer1Timer();
    void XiButton1Click();
    void XiButton2Click();

    // Client size in pixels.
    TSize ClientSize() const;
    int Dpi() const { return FDpi; }

    std::unique_ptr<THTLabel> JvHTLabel1;
    HWND GroupBox1 = nullptr;
    std::unique_ptr<TCaptionPanel> Panel1, Panel2, Panel3, Panel5;
    std::unique_ptr<THTLabel> JvHTLabel2;
    std::unique_ptr<TGradientButton> XiButton1, XiButton2;
    static constexpr UINT_PTR Timer1 = 1;

protected:
    LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    void FormShow();
    void SetClientHeight(int Height) override;
    void ShowImageViewer() override;
    TRect Scaled(const TRect& R) const;

    bool FQuitOnClose;
    bool FShown = false;
    int FDpi;
    TFontHandle FFont, FHeadingFont, FChoiceHeadingFont;
};

// The launcher's window styles: a fixed dialog frame with a close box.
inline constexpr DWORD LauncherStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD LauncherExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
