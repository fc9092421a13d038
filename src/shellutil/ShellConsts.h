// Texts and numbers of the shell utilities that callers and tests share.
#pragma once

#include <cstdint>
#include <string_view>

// Messages of a refused elevated start, shown to the user (UTF-16: they reach
// a message box without passing through the process code page).
inline constexpr std::u16string_view SElevationDeclined = u"사용자가 권한 상승 요청을 거절";
inline constexpr std::u16string_view SElevationFileNotFound = u"FILE NOT FOUND!";
inline constexpr std::u16string_view SElevationAccessDenied = u"ACCESS DENIED";
inline constexpr std::u16string_view SElevationErrorNo = u"error no: ";

// Windows system error codes, under names that cannot clash with <windows.h>.
inline constexpr std::uint32_t ecFileNotFound = 2;
inline constexpr std::uint32_t ecPathNotFound = 3;
inline constexpr std::uint32_t ecAccessDenied = 5;
inline constexpr std::uint32_t ecNotEnoughMemory = 8;
inline constexpr std::uint32_t ecBadFormat = 11;
inline constexpr std::uint32_t ecGenFailure = 31;
inline constexpr std::uint32_t ecNotSupported = 50;
inline constexpr std::uint32_t ecInvalidParameter = 87;
inline constexpr std::uint32_t ecBadExeFormat = 193;
inline constexpr std::uint32_t ecNoAssociation = 1155;
inline constexpr std::uint32_t ecCancelled = 1223;

// What the plain shell start returns; above 32 means the shell accepted it.
inline constexpr std::intptr_t seErrNoAssociation = 31;
inline constexpr std::intptr_t seStartedValue = 42;
inline constexpr std::intptr_t seSuccessAbove = 32;
