// What the video action knows: the players it looks for, in order, and the
// two-line batch file that starts the first one found on the content folder.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TVideoPlayer {
    const char* Folder;
    const char* Executable;
};

// Probed in this order; the first whose executable exists wins.
inline constexpr TVideoPlayer VideoPlayers[] = {
    {"c:\\Program Files (x86)\\DAUM\\PotPlayer", "PotPlayer.exe"},
    {"c:\\Program Files\\DAUM\\PotPlayer", "PotPlayer.exe"},
    {"c:\\Program Files (x86)\\GRETECH\\GomPlayer", "Gom.exe"},
    {"c:\\Program Files\\GRETECH\\GomPlayer", "Gom.exe"},
    {"c:\\Program Files (x86)\\DAUM\\PotPlayer", "PotPlayerMini.exe"},
    {"c:\\Program Files\\DAUM\\PotPlayer", "PotPlayerMini.exe"},
    {"c:\\KMPlayer", "KMPlayer.exe"},
};

inline constexpr const char* SBatchEchoOff = "@echo off";
inline constexpr const char* SBatchLineBreak = "\r\n";
inline constexpr const char* SBatchExtension = ".bat";

// Text in which the command interpreter acts on none of & | < > ^ %: they come
// out as written when the line runs unquoted.
std::string EscapeBatchText(std::string_view Text);

// start /D"<folder>\" <executable> <program directory>QMZBox
std::string PlayerLine(const TVideoPlayer& Player, const std::string& ProgramDir);

// The first installed player, or null.
const TVideoPlayer* FindInstalledPlayer();

// "@echo off", then the player line when a player is installed.
std::vector<std::string> BatchFileLines(const std::string& ProgramDir);

// The file's bytes: every line ended with CR LF, no byte-order mark.
std::string BatchFileText(const std::vector<std::string>& Lines);

// Writes the batch file, replacing one of that name; raises EFCreateError
// "Cannot create file ..." with the full name when it cannot be created.
void WriteBatchFile(const std::string& FileName, const std::vector<std::string>& Lines);

// Writes the batch file FileName (a bare name) into the working directory;
// when it cannot be written there (a read-only medium), into the user's
// folder for temporary files. Returns the name written: FileName, or the
// full name in the temporary folder. When neither can be written, raises
// the working directory's error.
std::string WriteBatchFileWhereWritable(const std::string& FileName, const std::vector<std::string>& Lines);

// Folder part of the program's full file name, ending with its separator.
std::string ProgramDirectory(const std::string& ProgramPath);
// The batch file's bare name: the program's file name followed by ".bat".
std::string BatchFileNameFor(const std::string& ProgramPath);

// The video action. ProgramPath is the program's full file name as the system
// spells it (on Windows with backslashes), in the process code page. Writes
// the batch file (WriteBatchFileWhereWritable) and hands it to the shell by
// the name written, or says that no player is installed; then, in every case,
// waits a second without handling window messages, lets ProcessMessages
// handle those pending, and deletes the batch file from the working directory
// and from the temporary folder when it went there. An error of the write is
// raised after that.
void RunVideoPlayer(const std::string& ProgramPath, const std::function<void()>& ProcessMessages);
