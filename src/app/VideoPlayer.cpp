#include "app/VideoPlayer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

#include "app/AppConsts.h"
#include "app/MessageBoxService.h"
#include "runtime/CodePage.h"
#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "shellutil/ProgramLaunch.h"

std::string EscapeBatchText(std::string_view Text) {
    std::string Result;
    Result.reserve(Text.size());
    // Character by character in the process code page, in which the file is
    // written: the second byte of a double-byte character may have the
    // value of `|` or `^` and is neither.
    const char* const End = Text.data() + Text.size();
    for (const char* P = Text.data(); P < End;) {
        const std::size_t Len = AnsiCharLength(P, End);
        const char C = *P;
        if (Len != 1) {
            Result.append(P, Len);
            P += Len;
            continue;
        }
        ++P;
        switch (C) {
            case '&':
            case '|':
            case '<':
            case '>':
            case '^':
                Result += '^';
                Result += C;
                break;
            case '%':
                Result += "%%";
                break;
            default:
                Result += C;
        }
    }
    return Result;
}

std::string PlayerLine(const TVideoPlayer& Player, const std::string& ProgramDir) {
    std::string Line = "start /D\"";
    Line += Player.Folder;
    Line += "\\\" ";
    Line += Player.Executable;
    Line += ' ';
    Line += EscapeBatchText(ProgramDir + SContentFolderName);
    return Line;
}

const TVideoPlayer* FindInstalledPlayer() {
    for (const TVideoPlayer& Player : VideoPlayers) {
        if (FileExists(std::string(Player.Folder) + "\\" + Player.Executable)) return &Player;
    }
    return nullptr;
}

std::vector<std::string> BatchFileLines(const std::string& ProgramDir) {
    std::vector<std::string> Lines{SBatchEchoOff};
    if (const TVideoPlayer* Player = FindInstalledPlayer()) Lines.push_back(PlayerLine(*Player, ProgramDir));
    return Lines;
}

std::string BatchFileText(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const std::string& Line : Lines) {
        Text += Line;
        Text += SBatchLineBreak;
    }
    return Text;
}

void WriteBatchFile(const std::string& FileName, const std::vector<std::string>& Lines) {
    const std::string Text = BatchFileText(Lines);
    TFileStream File(FileName, fmCreate);
    std::size_t Done = 0;
    while (Done < Text.size()) {
        const std::size_t Chunk = std::min<std::size_t>(Text.size() - Done, 1 << 20);
        File.WriteBuffer(Text.data() + Done, static_cast<std::int32_t>(Chunk));
        Done += Chunk;
    }
}

std::string WriteBatchFileWhereWritable(const std::string& FileName, const std::vector<std::string>& Lines) {
    try {
        WriteBatchFile(FileName, Lines);
        return FileName;
    } catch (...) {
        const std::exception_ptr InWorkingDirectory = std::current_exception();
        const std::string TempDir = GetTempDir();
        if (!TempDir.empty()) {
            const std::string InTemp = TempDir + FileName;
            try {
                WriteBatchFile(InTemp, Lines);
                return InTemp;
            } catch (...) {
                DeleteFile(InTemp);  // whatever part of it was written
            }
        }
        std::rethrow_exception(InWorkingDirectory);
    }
}

std::string ProgramDirectory(const std::string& ProgramPath) { return ExtractFilePath(ProgramPath); }

std::string BatchFileNameFor(const std::string& ProgramPath) { return ExtractFileName(ProgramPath) + SBatchExtension; }

void RunVideoPlayer(const std::string& ProgramPath, const std::function<void()>& ProcessMessages) {
    const std::string BatchFileName = BatchFileNameFor(ProgramPath);
    std::string Written;  // where the file went, when not into the working directory

    std::exception_ptr Error;
    try {
        const std::vector<std::string> Lines = BatchFileLines(ProgramDirectory(ProgramPath));
        if (Lines.size() >= 2) {
            const std::string BatchFile = WriteBatchFileWhereWritable(BatchFileName, Lines);
            if (BatchFile != BatchFileName) Written = BatchFile;
            LaunchProgram(BatchFile, std::string(), SW_SHOWNORMAL);
        } else {
            MessageBoxes().ShowMessage(AppText(SNoPlayer));
        }
    } catch (...) {
        Error = std::current_exception();
    }

    // The command interpreter must have read the file before it goes; the
    // window does not repaint meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(BatchFilePauseMs));
    if (ProcessMessages) ProcessMessages();
    DeleteFile(BatchFileName);
    if (!Written.empty()) DeleteFile(Written);

    if (Error) std::rethrow_exception(Error);
}
