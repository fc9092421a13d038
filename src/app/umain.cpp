#include "app/umain.h"

#include <chrono>
#include <exception>
#include <thread>

#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "app/AppConsts.h"
#include "app/ErrorHandler.h"
#include "app/VideoPlayer.h"
#include "app/ufmivew.h"
#include "app/widgets/CaptionPanel.h"
#include "app/widgets/GradientButton.h"
#include "app/widgets/HTLabel.h"
#include "app/MessageBoxService.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "shellutil/DirectoryListing.h"
#include "shellutil/ProgramLaunch.h"

namespace {

const char* const VideoExtensions[] = {".mkv", ".mp4", ".avi", ".wmv"};

QFont PixelFont(const char* Family, int PixelSize, bool Bold = false) {
    QFont F(QString::fromUtf8(Family));
    F.setPixelSize(PixelSize);
    F.setBold(Bold);
    return F;
}

QString BlueBold(const char* Text) {
    return QStringLiteral("<b><font color=\"#0000FF\">%1</font></b>").arg(QString::fromUtf8(Text).toHtmlEscaped());
}

THTLabel* MakeHeading(QWidget* Parent, const char* Name, const char* Text, int PixelSize, const QRect& Geometry) {
    auto* L = new THTLabel(Parent);
    L->setObjectName(QString::fromLatin1(Name));
    L->setFont(PixelFont("굴림", PixelSize));
    L->SetCaption(BlueBold(Text));
    L->setGeometry(Geometry);
    return L;
}

TCaptionPanel* MakePanel(QWidget* Parent, const char* Name, const char* Caption, const QRect& Geometry) {
    auto* P = new TCaptionPanel(QString::fromUtf8(Caption), Parent);
    P->setObjectName(QString::fromLatin1(Name));
    P->setGeometry(Geometry);
    return P;
}

void SetLauncherButtonColors(TGradientButton* B) {
    B->SetColors(gbsNormal, {QColor(0xFF, 0xEC, 0xC6), QColor(0xFF, 0xBE, 0x37), QColor(0xFF, 0xE7, 0xB9),
                             QColor(0xE8, 0x9C, 0x00), QColor(0x80, 0x56, 0x00), Qt::black});
    B->SetColors(gbsMouseOver, {QColor(0xFF, 0xE7, 0xB3), QColor(0xF0, 0xA3, 0x00), QColor(0xFF, 0xDA, 0x95),
                                QColor(0xD2, 0x8E, 0x00), QColor(0x80, 0x56, 0x00), Qt::black});
    B->SetColors(gbsPressed, {QColor(0xFF, 0xBA, 0x2B), QColor(0xFF, 0xD2, 0x77), QColor(0xB7, 0x77, 0x00),
                              QColor(0xFF, 0xD9, 0x8A), QColor(0xA6, 0x70, 0x00), Qt::black});
    B->SetColors(gbsDisabled, {QColor(0xEE, 0xEE, 0xEE), Qt::white, Qt::white, QColor(0xD2, 0xD2, 0xD2),
                               QColor(0x80, 0x80, 0x80), QColor(0x80, 0x80, 0x80)});
    B->SetFocusRectColor(QColor(0xFF, 0x80, 0x40));
    B->SetCaptionAtTop(true);
}

TGradientButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, const QRect& Geometry) {
    auto* B = new TGradientButton(Parent);
    B->setObjectName(QString::fromLatin1(Name));
    B->setText(QString::fromUtf8(Caption));
    B->setGeometry(Geometry);
    SetLauncherButtonColors(B);
    return B;
}

bool IsVideoName(const std::string& Name) {
    const std::size_t Dot = Name.rfind('.');
    if (Dot == std::string::npos) return false;
    std::string Ext = Name.substr(Dot);
    for (char& C : Ext)
        if (C >= 'A' && C <= 'Z') C = static_cast<char>(C + ('a' - 'A'));
    for (const char* V : VideoExtensions)
        if (Ext == V) return true;
    return false;
}

std::string TrimControls(const std::string& Name) {
    std::size_t First = 0;
    std::size_t Last = Name.size();
    while (First < Last && static_cast<unsigned char>(Name[First]) <= 32) ++First;
    while (Last > First && static_cast<unsigned char>(Name[Last - 1]) <= 32) --Last;
    return Name.substr(First, Last - First);
}

}  // namespace

TContentKinds ClassifyContent(const std::vector<std::string>& Names) {
    TContentKinds Kinds;
    for (const std::string& N : Names) {
        if (IsVideoName(N)) Kinds.Video = true;
        if (TrimControls(N) == SPictureArchiveName) Kinds.Image = true;
    }
    return Kinds;
}

TForm1::TForm1(QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(SLauncherCaption));
    setFont(PixelFont("Tahoma", 11));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    JvHTLabel1 = MakeHeading(this, "JvHTLabel1", SLauncherHeading, 21, {8, 8, 266, 22});

    GroupBox1 = new QGroupBox(QString::fromUtf8(SGroupVideo), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 36, 266, 75);
    Panel2 = MakePanel(GroupBox1, "Panel2", SPanelGomPlayer, {3, 15, 124, 26});
    Panel1 = MakePanel(GroupBox1, "Panel1", SPanelKMP, {139, 15, 124, 26});
    Panel5 = MakePanel(GroupBox1, "Panel5", SPanelDaumPot, {3, 46, 124, 26});
    Panel3 = MakePanel(GroupBox1, "Panel3", SPanelPotPlayer, {139, 46, 124, 26});

    JvHTLabel2 = MakeHeading(this, "JvHTLabel2", SLauncherChoiceHeading, 19, {10, 120, 261, 20});
    XiButton1 = MakeButton(this, "XiButton1", SButtonVideo, {20, 145, 91, 46});
    XiButton2 = MakeButton(this, "XiButton2", SButtonImage, {160, 145, 91, 46});
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
    if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
        const QRect Area = Screen->availableGeometry();
        move(Area.center() - QPoint(LauncherClientWidth / 2, LauncherInitialHeight / 2));
    }
}

TForm1::~TForm1() = default;

void TForm1::SetClientHeight(int Height) { setFixedSize(LauncherClientWidth, Height); }

void TForm1::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (!Event->spontaneous()) FormShow();
}

void TForm1::FormShow() { Timer1->start(); }

void TForm1::Timer1Timer() {
    // First of all: a modal window opened below runs its own message loop,
    // in which an armed timer would fire again.
    Timer1->stop();

    std::vector<std::string> Names;
    ListDirectory(SContentFolder, false, "*.*", false, Names, false, false);
    const TContentKinds Kinds = ClassifyContent(Names);

    if (Kinds.Video && !Kinds.Image) {
        RunVideoPlayer();
        close();
    } else if (Kinds.Image && !Kinds.Video) {
        ShowImageViewer();
        close();
    } else {
        SetClientHeight(Kinds.Video && Kinds.Image ? LauncherChoiceHeight : LauncherSingleHeight);
        if (!Kinds.Video && !Kinds.Image) MessageBoxes().ShowMessage(QString::fromUtf8(SNoContent));
    }
}

void TForm1::XiButton1Click() { RunVideoPlayer(); }

void TForm1::XiButton2Click() { ShowImageViewer(); }

void TForm1::ShowImageViewer() {
    TfmIView fmIView(this);
    fmIView.Init();
    fmIView.ShowModal();
}

void TForm1::RunVideoPlayer() {
    const std::string ProgramPath = UnicodeToAnsi(QCoreApplication::applicationFilePath().toStdU16String());
    const std::string ProgramDir = ExtractFilePath(ProgramPath);
    const std::string BatchFileName = ExtractFileName(ProgramPath) + SBatchExtension;

    std::exception_ptr Error;
    try {
        const std::vector<std::string> Lines = BatchFileLines(ProgramDir);
        if (Lines.size() >= 2) {
            WriteBatchFile(BatchFileName, Lines);
            LaunchProgram(BatchFileName, std::string(), SW_SHOWNORMAL);
        } else {
            MessageBoxes().ShowMessage(QString::fromUtf8(SNoPlayer));
        }
    } catch (...) {
        Error = std::current_exception();
    }

    // The command interpreter must have read the file before it goes; the
    // window does not repaint meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(BatchFilePauseMs));
    QCoreApplication::processEvents();
    DeleteFile(BatchFileName);

    if (Error) std::rethrow_exception(Error);
}
