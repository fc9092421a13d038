#include "sfds/sfds_consts.h"

#include "runtime/Format.h"

std::string SFDS_FormatIDText(std::uint8_t ID) { return Format("%03X", static_cast<unsigned>(ID)); }

