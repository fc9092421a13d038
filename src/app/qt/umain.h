// The launcher window: half a second after it is shown it looks into the
// content folder once and runs the video player, opens the picture viewer,
// offers both, or says there is nothing to run.
#pragma once

#include <QWidget>

#include "app/ContentScan.h"

class QGroupBox;
class QTimer;
class TCaptionPanel;
class TGradientButton;
class THTLabel;

class TForm1 : public QWidget, private TLauncherActions {
    Q_OBJECT
public:
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // The video action: writes the batch file that starts the first installed
    // player on the content folder, hands it to the shell, deletes it a second
    // later.
    void RunVideoPlayer() override;

    THTLabel* JvHTLabel1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    TCaptionPanel* Panel1 = nullptr;
    TCaptionPanel* Panel2 = nullptr;
    TCaptionPanel* Panel3 = nullptr;
    TCaptionPanel* Panel5 = nullptr;
    THTLabel* JvHTLabel2 = nullptr;
    TGradientButton* XiButton1 = nullptr;
    TGradientButton* XiButton2 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void FormShow();
    void Timer1Timer();
    void XiButton1Click();
    void XiButton2Click();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void SetClientHeight(int Height) override;
    // Places the whole window, frame included, in the middle of the screen.
    void CentreOnScreen();
    void ShowImageViewer() override;
    void Close() override;
};
