#include "app/qt/umain.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "app/AppConsts.h"
#include "app/ContentScan.h"
#include "app/ErrorHandler.h"
#include "app/LauncherLayout.h"
#include "app/MessageBoxService.h"
#include "app/VideoPlayer.h"
#include "app/qt/QtText.h"
#include "app/qt/ufmivew.h"
#include "app/qt/widgets/CaptionPanel.h"
#include "app/qt/widgets/GradientButton.h"
#include "app/qt/widgets/HTLabel.h"
#include "runtime/CodePage.h"

namespace {

QFont PixelFont(const char* Family, int PixelSize, bool Bold = false) {
    QFont F(QString::fromUtf8(Family));
    F.setPixelSize(PixelSize);
    F.setBold(Bold);
    return F;
}

QRect ToQRect(const TRect& R) { return {R.Left, R.Top, R.Width, R.Height}; }

QString BlueBold(const char* Text) {
    const QString Colour = QString::number(HeadingColor, 16).rightJustified(6, QLatin1Char('0')).toUpper();
    return QStringLiteral("<b><font color=\"#%1\">%2</font></b>").arg(Colour, QString::fromUtf8(Text).toHtmlEscaped());
}

THTLabel* MakeHeading(QWidget* Parent, const THeadingSpec& Spec) {
    auto* L = new THTLabel(Parent);
    L->setObjectName(QString::fromLatin1(Spec.Name));
    L->setFont(PixelFont(SHeadingFontName, Spec.FontPixels));
    L->SetCaption(BlueBold(Spec.Text));
    L->setGeometry(ToQRect(Spec.Bounds));
    return L;
}

TCaptionPanel* MakePanel(QWidget* Parent, const TPanelSpec& Spec) {
    auto* P = new TCaptionPanel(QString::fromUtf8(Spec.Caption), Parent);
    P->setObjectName(QString::fromLatin1(Spec.Name));
    P->setGeometry(ToQRect(Spec.Bounds));
    return P;
}

TGradientButton* MakeButton(QWidget* Parent, const TButtonSpec& Spec) {
    auto* B = new TGradientButton(Parent);
    B->setObjectName(QString::fromLatin1(Spec.Name));
    B->setText(QString::fromUtf8(Spec.Caption));
    B->setGeometry(ToQRect(Spec.Bounds));
    for (const TGradientButtonState State : {gbsNormal, gbsMouseOver, gbsPressed, gbsDisabled})
        B->SetColors(State, LauncherButtonColors[State]);
    B->SetFocusRectColor(QColor::fromRgb(static_cast<QRgb>(0xFF000000u | LauncherFocusRectColor)));
    B->SetCaptionAtTop(true);
    return B;
}

}  // namespace

TForm1::TForm1(QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(SLauncherCaption));
    setFont(PixelFont(SLauncherFontName, LauncherFontPixels));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    JvHTLabel1 = MakeHeading(this, LauncherHeading);

    GroupBox1 = new QGroupBox(QString::fromUtf8(SGroupVideo), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(ToQRect(LauncherGroupBox));
    TCaptionPanel** const Panels[] = {&Panel2, &Panel1, &Panel5, &Panel3};
    for (std::size_t I = 0; I < std::size(LauncherPanels); ++I) *Panels[I] = MakePanel(GroupBox1, LauncherPanels[I]);

    JvHTLabel2 = MakeHeading(this, LauncherChoiceHeadingSpec);
    XiButton1 = MakeButton(this, LauncherVideoButton);
    XiButton2 = MakeButton(this, LauncherImageButton);
    connect(XiButton1, &QAbstractButton::clicked, this, [this] { CallEventHandler([this] { XiButton1Click(); }); });
    connect(XiButton2, &QAbstractButton::clicked, this, [this] { CallEventHandler([this] { XiButton2Click(); }); });
    setTabOrder(GroupBox1, XiButton1);
    setTabOrder(XiButton1, XiButton2);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ScanDelayMs);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] { CallEventHandler([this] { Timer1Timer(); }); });

    SetClientHeight(LauncherInitialHeight);
    CentreOnScreen();
}

TForm1::~TForm1() = default;

void TForm1::SetClientHeight(int Height) { setFixedSize(LauncherClientWidth, Height); }

void TForm1::CentreOnScreen() {
    const QScreen* Screen = QGuiApplication::primaryScreen();
    if (Screen == nullptr) return;
    const QRect Area = Screen->geometry();
    // Before the window is shown its frame is not known yet and the frame
    // size is the client size; once shown, the frame counts.
    const QSize Outer = frameGeometry().size();
    const TPoint P = CentredWindowPosition({Area.x(), Area.y(), Area.width(), Area.height()},
                                           {Outer.width(), Outer.height()});
    move(P.X, P.Y);
}

void TForm1::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (!Event->spontaneous()) {
        // The window manager adds the frame after the window is mapped.
        QTimer::singleShot(0, this, [this] { CentreOnScreen(); });
        FormShow();
    }
}

void TForm1::FormShow() { Timer1->start(); }

void TForm1::Timer1Timer() {
    // First of all: a modal window opened below runs its own message loop,
    // in which an armed timer would fire again.
    Timer1->stop();

    ApplyContentOutcome(ScanContent(), *this);
}

void TForm1::Close() { close(); }

void TForm1::XiButton1Click() { RunVideoPlayer(); }

void TForm1::XiButton2Click() { ShowImageViewer(); }

void TForm1::ShowImageViewer() {
    TfmIView fmIView(this);
    fmIView.Init();
    fmIView.ShowModal();
}

void TForm1::RunVideoPlayer() {
    // The system's own spelling of the program's path: backslashes on Windows.
    const QString Path = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    ::RunVideoPlayer(UnicodeToAnsi(Path.toStdU16String()), [] { QCoreApplication::processEvents(); });
}
