// The order people give file names, and Windows Explorer with them: a picture
// named 2.jpg comes before 10.jpg.
#pragma once

#include <string_view>

// Compares two stored names (8-bit strings in the process code page, walked
// character by character: a double-byte character is never split); negative
// when A comes first, positive when B does, 0 only for equal names.
//
// Names are compared part by part, parts separated by `\` or `/`, so that a
// folder's entries stay together and a name that ends where the other goes
// on into a folder comes first. Within a part, a run of ASCII digits compares
// as the number it spells (by the digits after leading zeros: any length,
// never an overflow) and sorts where the digits do among the other
// characters; ASCII letters compare without regard to case; every other
// character compares by its bytes. Names equal by these rules ("IMG_007" and
// "img_7") are ordered by their plain bytes, so the order is total and the
// same on every run.
int SFDS_CompareNatural(std::string_view A, std::string_view B);
