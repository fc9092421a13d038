// Conversions at the tool's edges: the command line and the terminal speak
// UTF-8, the library the process code page.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "sfds/sfds_consts.h"

std::string ToolToAnsi(const std::string& Utf8);
std::string ToolToUtf8(const std::string& Ansi);

// Lower-case hexadecimal of a byte block.
std::string ToolHex(const void* Data, std::size_t Count);
std::string ToolMD5Hex(const TMD5Digest& Digest);

// The message an exception carries, in UTF-8.
std::string ToolMessageOf(const std::exception_ptr& Error);
// The same on one line: line breaks become blanks.
std::string ToolOneLine(const std::string& Text);

// "store", "zlib", "bzip2", or the ID in decimal for other formats.
std::string ToolFormatName(std::uint8_t FormatID);
// 1536 -> "1.5 KiB".
std::string ToolByteText(double Bytes);

// Writes Text and a line feed to standard error.
void ToolError(const std::string& Text);
