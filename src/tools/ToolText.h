// Conversions at the tool's edges: the command line and the terminal speak
// UTF-8, the library the process code page.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "sfds/sfds_consts.h"

std::string ToolToAnsi(const std::string& Utf8);
std::string ToolToUtf8(const std::string& Ansi);
// Whether the process code page can hold every character of Text (UTF-8).
bool ToolFitsCodePage(const std::string& Utf8);

// Lower-case hexadecimal of a byte block.
std::string ToolHex(const void* Data, std::size_t Count);
std::string ToolMD5Hex(const TMD5Digest& Digest);

// Text from a container (names, metadata, messages quoting them) as the
// terminal gets it: UTF-8 with every control character escaped, so that no
// name can move the cursor or forge a line or a column. C0 controls and DEL
// become \xHH, C1 controls (U+0080..U+009F) \u00HH; everything else stays.
std::string ToolShown(const std::string& Utf8);
// ToolShown of a text in the process code page.
std::string ToolShownName(const std::string& Ansi);

// The message an exception carries, in UTF-8.
std::string ToolMessageOf(const std::exception_ptr& Error);
// The same on one line: line breaks become blanks, other control characters
// are escaped as ToolShown does.
std::string ToolOneLine(const std::string& Text);

// Done of Total in whole per cent, 0..100 (100 for a Total of 0 or less).
int ToolPercent(std::int64_t Done, std::int64_t Total);

// "store", "zlib", "bzip2", or the ID in decimal for other formats.
std::string ToolFormatName(std::uint8_t FormatID);
// The help text's head, with the exit codes the library defines.
std::string ToolDescriptionText();
// 1536 -> "1.5 KiB".
std::string ToolByteText(double Bytes);

// Message about Subject (an archive, or ARCHIVE::ENTRY, in UTF-8) as
// "Subject: Message", or Message alone when it names Subject already.
std::string ToolAbout(const std::string& Subject, const std::string& Message);

// Writes Text and a line feed to standard error, every line of it after the
// program's name ("sfds: ", see ToolSetProgramName).
void ToolError(const std::string& Text);
