// Message texts of the platform base. Each text lives here once.
#pragma once
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* SRangeError = "Range check error";
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SInvalidPropertyValue = "Invalid property value";
inline constexpr const char* SOutOfMemory = "Out of memory";
inline constexpr const char* SMemoryStreamError = "Out of memory while expanding memory stream";
