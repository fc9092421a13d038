// The Windows edition code the launch decision rests on, worked out once at
// start-up from the product name kept in the machine's registry.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char WindowsNTCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr char ProductNameValue[] = "ProductName";

// Codes up to this one launch with the plain "open" verb, higher ones elevated.
inline constexpr std::uint8_t EditionRunAsThreshold = 100;

// String value ValueName of HKEY_LOCAL_MACHINE\KeyPath, the key opened with all
// access rights and never created or written; Default when the key cannot be
// opened so or the value is missing or not a string. No registry on POSIX:
// always Default.
std::string ReadMachineRegistryString(const std::string& KeyPath, const std::string& ValueName,
                                      const std::string& Default = std::string());

// The edition code of a product name (0 when it cannot be placed).
std::uint8_t EditionFromProductName(const std::string& ProductName);

// Reads the product name and places it.
std::uint8_t GetWindowsEdition();

// Process-wide code: 0 until start-up has set it. Safe to read and set from
// any thread (an atomic); start-up sets it before any window exists.
std::uint8_t WindowsEdition();
// Start-up: sets the code from GetWindowsEdition, before any window exists.
void InitWindowsEdition();
// Sets the code directly; for start-up code and tests that need a given path.
void SetWindowsEdition(std::uint8_t Code);
