#include "shellutil/posix/BatchScript.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "runtime/AsciiCase.h"
#include "shellutil/ShellConsts.h"

extern char** environ;

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// Environment names are case-insensitive for the command interpreter.
std::optional<std::string> EnvironmentValue(const std::string& Name) {
    if (Name.empty()) return std::nullopt;
    if (const char* V = std::getenv(Name.c_str())) return std::string(V);
    for (char** E = environ; E != nullptr && *E != nullptr; ++E) {
        const char* Eq = std::strchr(*E, '=');
        if (Eq != nullptr && SameTextAscii(std::string_view(*E, static_cast<std::size_t>(Eq - *E)), Name))
            return std::string(Eq + 1);
    }
    return std::nullopt;
}

std::string WithoutQuotes(std::string_view S) {
    std::string R;
    for (char C : S)
        if (C != '"') R += C;
    return R;
}

// One token of a command's operands: up to a blank outside quotes.
std::string_view NextToken(std::string_view S, std::size_t& Pos) {
    while (Pos < S.size() && IsBlank(S[Pos])) ++Pos;
    const std::size_t Start = Pos;
    bool Quoted = false;
    while (Pos < S.size() && (Quoted || !IsBlank(S[Pos]))) {
        if (S[Pos] == '"') Quoted = !Quoted;
        ++Pos;
    }
    return S.substr(Start, Pos - Start);
}

// START switches that change nothing for a detached start here.
bool IsStartSwitchWithoutEffect(std::string_view Name) {
    static constexpr std::string_view Known[] = {"B",    "I",           "MIN",         "MAX",      "LOW",
                                                  "NORMAL", "HIGH",     "REALTIME",    "ABOVENORMAL",
                                                  "BELOWNORMAL", "SEPARATE", "SHARED"};
    for (std::string_view K : Known)
        if (SameTextAscii(Name, K)) return true;
    return false;
}

std::string_view TrimLeft(std::string_view S, std::string_view Chars) {
    const std::size_t P = S.find_first_not_of(Chars);
    return P == std::string_view::npos ? std::string_view() : S.substr(P);
}

// The command word: letters up to a blank or a character that ends it.
std::string_view CommandWord(std::string_view Line) {
    std::size_t N = 0;
    while (N < Line.size() && !IsBlank(Line[N]) && std::strchr(",;=(./:+\"", Line[N]) == nullptr) ++N;
    return Line.substr(0, N);
}

}  // namespace

std::string ExpandBatchPercents(std::string_view Line, const std::vector<std::string>& Args,
                                std::string_view AllArgs) {
    std::string Out;
    std::size_t I = 0;
    while (I < Line.size()) {
        const char C = Line[I];
        if (C != '%') {
            Out += C;
            ++I;
            continue;
        }
        if (I + 1 >= Line.size()) break;  // a lone "%" at the end vanishes
        const char Next = Line[I + 1];
        if (Next == '%') {
            Out += '%';
            I += 2;
        } else if (Next >= '0' && Next <= '9') {
            const std::size_t Index = static_cast<std::size_t>(Next - '0');
            if (Index < Args.size()) Out += Args[Index];
            I += 2;
        } else if (Next == '*') {
            Out += AllArgs;
            I += 2;
        } else {
            const std::size_t Close = Line.find('%', I + 1);
            if (Close == std::string_view::npos) {
                ++I;  // a lone "%" vanishes; the text after it stays
                continue;
            }
            if (const auto Value = EnvironmentValue(std::string(Line.substr(I + 1, Close - I - 1)))) Out += *Value;
            I = Close + 1;
        }
    }
    return Out;
}

bool RemoveBatchEscapes(std::string_view Line, std::string& Out) {
    Out.clear();
    bool Quoted = false;
    for (std::size_t I = 0; I < Line.size(); ++I) {
        const char C = Line[I];
        if (C == '"') {
            Quoted = !Quoted;
            Out += C;
        } else if (Quoted) {
            Out += C;
        } else if (C == '^') {
            if (I + 1 < Line.size()) Out += Line[++I];
        } else if (C == '&' || C == '|' || C == '<' || C == '>') {
            return false;
        } else {
            Out += C;
        }
    }
    return true;
}

std::uint32_t ParseStartOperands(std::string_view Operands, TStartCommand& Cmd) {
    Cmd = TStartCommand();
    bool TitleSeen = false;
    std::size_t Pos = 0;
    for (;;) {
        const std::string_view Token = NextToken(Operands, Pos);
        if (Token.empty()) return ecNotSupported;  // no program: a new console, which has no meaning here
        if (Token.front() == '"' && !TitleSeen) {
            TitleSeen = true;
            continue;
        }
        if (Token.front() == '/') {
            const std::string_view Name = Token.substr(1);
            if (!Name.empty() && (Name.front() == 'D' || Name.front() == 'd')) {
                std::string_view Value = Name.substr(1);
                if (Value.empty()) {
                    Value = NextToken(Operands, Pos);
                    if (Value.empty()) return ecInvalidParameter;
                }
                Cmd.HasFolder = true;
                Cmd.Folder = WithoutQuotes(Value);
                continue;
            }
            if (IsStartSwitchWithoutEffect(Name)) continue;
            return ecInvalidParameter;
        }
        Cmd.Program = WithoutQuotes(Token);
        Cmd.Arguments = std::string(Operands.substr(Pos));
        return Cmd.Program.empty() ? ecFileNotFound : 0;
    }
}

std::uint32_t ParseBatchScript(std::string_view Script, const std::vector<std::string>& Args, std::string_view AllArgs,
                               std::vector<TBatchCommand>& Commands) {
    Commands.clear();
    std::size_t LineStart = 0;
    while (LineStart < Script.size()) {
        std::size_t LineEnd = Script.find('\n', LineStart);
        if (LineEnd == std::string_view::npos) LineEnd = Script.size();
        std::string Raw;
        for (char C : Script.substr(LineStart, LineEnd - LineStart))
            if (C != '\r') Raw += C;
        LineStart = LineEnd + 1;

        const std::string Expanded = ExpandBatchPercents(Raw, Args, AllArgs);
        const std::string_view Head = TrimLeft(Expanded, " \t@");
        if (Head.empty() || Head.front() == ':') continue;
        if (SameTextAscii(CommandWord(Head), "rem")) continue;

        std::string Line;
        if (!RemoveBatchEscapes(Expanded, Line)) return ecNotSupported;
        const std::string_view Body = TrimLeft(Line, " \t@");
        const std::string_view Word = CommandWord(Body);
        if (SameTextAscii(Word, "echo")) continue;  // no console to write to
        if (SameTextAscii(Word, "exit")) {
            Commands.push_back({bcExit, {}});
            break;
        }
        if (!SameTextAscii(Word, "start")) return ecNotSupported;
        TBatchCommand Cmd;
        if (const std::uint32_t Code = ParseStartOperands(Body.substr(Word.size()), Cmd.Start)) return Code;
        Commands.push_back(std::move(Cmd));
    }
    return 0;
}

std::vector<std::string> SplitCommandLine(std::string_view Tail) {
    std::vector<std::string> Args;
    std::size_t I = 0;
    for (;;) {
        while (I < Tail.size() && IsBlank(Tail[I])) ++I;
        if (I >= Tail.size()) break;
        std::string Arg;
        bool Quoted = false;
        while (I < Tail.size() && (Quoted || !IsBlank(Tail[I]))) {
            const char C = Tail[I];
            if (C == '\\') {
                std::size_t J = I;
                while (J < Tail.size() && Tail[J] == '\\') ++J;
                const std::size_t Count = J - I;
                if (J < Tail.size() && Tail[J] == '"') {
                    Arg.append(Count / 2, '\\');
                    if (Count % 2 == 1) {
                        Arg += '"';
                        ++J;
                    }
                } else {
                    Arg.append(Count, '\\');
                }
                I = J;
            } else if (C == '"') {
                if (Quoted && I + 1 < Tail.size() && Tail[I + 1] == '"') {
                    Arg += '"';
                    I += 2;
                } else {
                    Quoted = !Quoted;
                    ++I;
                }
            } else {
                Arg += C;
                ++I;
            }
        }
        Args.push_back(std::move(Arg));
    }
    return Args;
}

std::vector<std::string> SplitBatchParameters(std::string_view Params) {
    std::vector<std::string> Result;
    std::size_t I = 0;
    const auto IsSeparator = [](char C) { return IsBlank(C) || C == ',' || C == ';' || C == '='; };
    for (;;) {
        while (I < Params.size() && IsSeparator(Params[I])) ++I;
        if (I >= Params.size()) break;
        const std::size_t Start = I;
        bool Quoted = false;
        while (I < Params.size() && (Quoted || !IsSeparator(Params[I]))) {
            if (Params[I] == '"') Quoted = !Quoted;
            ++I;
        }
        Result.emplace_back(Params.substr(Start, I - Start));
    }
    return Result;
}
