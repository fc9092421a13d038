// Fixed texts and values of the launcher and the viewer. Each text lives here once.
#pragma once

// Application title: caption of every plain message box and of the error box.
inline constexpr const char* SApplicationTitle = "컨텐츠 실행기";

// Launcher window.
inline constexpr const char* SLauncherCaption = "자동 플레이어 선택";
inline constexpr const char* SLauncherHeading = "자동 플레이어 선택 실행기";
inline constexpr const char* SLauncherChoiceHeading = "동영상과 이미지가 같이 있음";
inline constexpr const char* SGroupVideo = "동영상";
inline constexpr const char* SPanelGomPlayer = "곰플레이어";
inline constexpr const char* SPanelKMP = "KMP";
inline constexpr const char* SPanelDaumPot = "DAUM 팟";
inline constexpr const char* SPanelPotPlayer = "팟플레이어";
inline constexpr const char* SButtonVideo = "동영상";
inline constexpr const char* SButtonImage = "이미지";
inline constexpr const char* SNoContent = "실행할 컨텐츠가 없습니다";
inline constexpr const char* SNoPlayer = "플레이어가 없습니다. 화면에 보이는 플레이어 중 하나는 있어야 합니다";

// Content folder as the scan lists it, and the archive name the scan looks for.
inline constexpr const char* SContentFolder = "QMZBOX";
inline constexpr const char* SPictureArchiveName = "QMZImage.QMZ";
// The same folder as the video action and the viewer spell it.
inline constexpr const char* SContentFolderName = "QMZBox";
inline constexpr const char* SPictureArchivePath = "QMZBox\\QMZImage.QMZ";

inline constexpr int LauncherClientWidth = 285;
inline constexpr int LauncherInitialHeight = 116;
inline constexpr int LauncherChoiceHeight = 200;
inline constexpr int LauncherSingleHeight = 120;
inline constexpr int ScanDelayMs = 500;
inline constexpr int BatchFilePauseMs = 1000;

// Viewer.
inline constexpr const char* SViewerCaption = "Image Viewer";
inline constexpr const char* SWarningCaption = "Warning";
inline constexpr const char* SNotSFDSFile = "The selected file is not a SFDS valid file.";
inline constexpr const char* SNotQMZImageFile = "The selected file is not a QMZ Image valid file.";
inline constexpr int ViewerDesignWidth = 651;
inline constexpr int ViewerDesignHeight = 338;
inline constexpr int ViewerFirstPictureDelayMs = 500;

// General error handler, for an exception that carries no message.
inline constexpr const char* SUnknownException = "Unknown exception";
