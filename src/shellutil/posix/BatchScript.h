// Reading a batch file the way the Windows command interpreter reads it, for
// the POSIX stand-in of the shell. Everything here works on UTF-8 text and
// carries nothing out; the stand-in runs what ParseBatchScript returns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Operands of "start [\"title\"] [/D folder] [switches] program [arguments]".
struct TStartCommand {
    bool HasFolder = false;
    std::string Folder;     // quotes removed
    std::string Program;    // quotes removed
    std::string Arguments;  // the rest of the line as the program receives it
};

enum TBatchCommandKind { bcStart, bcExit };

struct TBatchCommand {
    TBatchCommandKind Kind = bcStart;
    TStartCommand Start;
};

// Percent expansion of one line: "%%" gives "%", "%0".."%9" the batch
// arguments (Args[0] is the batch file as started), "%*" all of them,
// "%NAME%" the environment variable (empty when unset), a lone "%" vanishes.
std::string ExpandBatchPercents(std::string_view Line, const std::vector<std::string>& Args,
                                std::string_view AllArgs);

// Outside quotes a caret escapes the next character and vanishes; quotes
// toggle and stay. False when an unescaped &, |, < or > stands outside quotes:
// the line would chain commands or redirect, which the stand-in never does.
bool RemoveBatchEscapes(std::string_view Line, std::string& Out);

// START's operands (the text after the word "start"); 0 or a Windows error code.
std::uint32_t ParseStartOperands(std::string_view Operands, TStartCommand& Cmd);

// Every line of a script, in order; 0 or the Windows error code of the first
// line that cannot be carried out, in which case nothing should run.
std::uint32_t ParseBatchScript(std::string_view Script, const std::vector<std::string>& Args, std::string_view AllArgs,
                               std::vector<TBatchCommand>& Commands);

// A program's arguments from its command tail, split as the C runtime of a
// Windows program splits them (blanks separate, quotes group, backslashes
// escape only before a quote).
std::vector<std::string> SplitCommandLine(std::string_view Tail);

// Batch parameters for %1..%9: blanks, ",", ";" and "=" separate, quotes
// group and stay.
std::vector<std::string> SplitBatchParameters(std::string_view Params);
