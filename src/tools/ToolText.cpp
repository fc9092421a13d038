#include "tools/ToolText.h"

#include <algorithm>
#include <cstdio>

#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "sfds/sfds_extract.h"
#include "tools/ToolCommand.h"
#include "tools/ToolConsts.h"

std::string ToolToAnsi(const std::string& Utf8) { return UTF8ToAnsi(Utf8); }

std::string ToolToUtf8(const std::string& Ansi) { return AnsiToUTF8(Ansi); }

bool ToolFitsCodePage(const std::string& Utf8) { return ToolToUtf8(ToolToAnsi(Utf8)) == Utf8; }

std::string ToolHex(const void* Data, std::size_t Count) {
    static const char Digits[] = "0123456789abcdef";
    const auto* P = static_cast<const std::uint8_t*>(Data);
    std::string S;
    S.reserve(Count * 2);
    for (std::size_t I = 0; I < Count; ++I) {
        S += Digits[P[I] >> 4];
        S += Digits[P[I] & 15];
    }
    return S;
}

std::string ToolMD5Hex(const TMD5Digest& Digest) { return ToolHex(Digest.v, sizeof Digest.v); }

std::string ToolMessageOf(const std::exception_ptr& Error) {
    if (!Error) return std::string();
    try {
        std::rethrow_exception(Error);
    } catch (const Exception& E) {
        return ToolToUtf8(E.Message());
    } catch (const std::exception& E) {
        return E.what();
    } catch (...) {
    }
    return "unknown error";
}

std::string ToolShown(const std::string& Utf8) {
    std::string S;
    S.reserve(Utf8.size());
    for (std::size_t I = 0; I < Utf8.size(); ++I) {
        const auto B = static_cast<unsigned char>(Utf8[I]);
        if (B < 0x20 || B == 0x7F) {
            S += Format("\\x%02x", B);
        } else if (B == 0xC2 && I + 1 < Utf8.size() && static_cast<unsigned char>(Utf8[I + 1]) >= 0x80 &&
                   static_cast<unsigned char>(Utf8[I + 1]) <= 0x9F) {
            S += Format("\\u%04x", static_cast<unsigned char>(Utf8[++I]));
        } else {
            S += Utf8[I];
        }
    }
    return S;
}

std::string ToolShownName(const std::string& Ansi) { return ToolShown(ToolToUtf8(Ansi)); }

std::string ToolOneLine(const std::string& Text) {
    std::string S;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') continue;
        S += Text[I] == '\n' || Text[I] == '\r' ? ' ' : Text[I];
    }
    return ToolShown(S);
}

int ToolPercent(std::int64_t Done, std::int64_t Total) {
    if (Total <= 0 || Done >= Total) return 100;
    if (Done <= 0) return 0;
    // Exact at any size, with 64-bit arithmetic alone (32-bit targets have no wider type): two decimal digits of
    // Done / Total by long division, each ten-fold remainder added up one step at a time, so that every sum stays
    // below twice Total.
    const auto T = static_cast<std::uint64_t>(Total);
    auto R = static_cast<std::uint64_t>(Done);
    int Percent = 0;
    for (int Digit = 0; Digit < 2; ++Digit) {
        std::uint64_t Sum = 0;
        int Q = 0;
        for (int I = 0; I < 10; ++I) {
            Sum += R;
            if (Sum >= T) {
                Sum -= T;
                ++Q;
            }
        }
        Percent = Percent * 10 + Q;
        R = Sum;
    }
    return Percent;
}

std::string ToolFormatName(std::uint8_t FormatID) {
    for (const TToolFormatName& F : ToolFormatNames)
        if (F.ID == FormatID) return F.Name;
    return std::to_string(FormatID);
}

std::string ToolDescriptionText() {
    return Format(ToolDescription, SFDS_ERR_MD5, SFDS_ERR_NO_STREAM, SFDS_ERR_FILE_OPEN, SFDS_ERR_READ,
                  SFDS_ERR_WRITE, SFDS_ERR_ABORTED);
}

std::string ToolByteText(double Bytes) {
    static const char* const Units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int U = 0;
    while (Bytes >= 1024 && U < 4) {
        Bytes /= 1024;
        ++U;
    }
    return U == 0 ? Format("%.0f %s", Bytes, Units[U]) : Format("%.1f %s", Bytes, Units[U]);
}

std::string ToolAbout(const std::string& Subject, const std::string& Message) {
    // A message may name the file by its full path, with either separator
    // ("/x/a.sfds" opens Z:\x\a.sfds under Wine, as \x\a.sfds on Windows).
    const auto Slashed = [](std::string S) {
        std::replace(S.begin(), S.end(), '\\', '/');
        return S;
    };
    if (Subject.empty() || Slashed(Message).find(Slashed(Subject)) != std::string::npos) return Message;
    return Format(ToolMessageAbout, ToolShown(Subject).c_str(), Message.c_str());
}

void ToolError(const std::string& Text) {
    const std::string Prefix = Format(ToolErrorPrefix, ToolProgramName().c_str());
    // Each line of a message broken over lines gets the prefix too; the
    // line ends stay as the message has them.
    std::string Lines = Prefix;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        Lines += Text[I];
        if (Text[I] == '\n' && I + 1 < Text.size()) Lines += Prefix;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", Lines.c_str());
}
