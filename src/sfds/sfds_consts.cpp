#include "sfds/sfds_consts.h"

#include <type_traits>

#include "runtime/Format.h"

// Callers (the viewer, the tool) catch ESFDSException and show its text, so
// every library error derives from it.
static_assert(std::is_base_of_v<ESFDSException, ESFDSDecompressionError> &&
              std::is_base_of_v<ESFDSException, ESFDSNilSourceStream> &&
              std::is_base_of_v<ESFDSException, ESFDSInvalidStreamOperation> &&
              std::is_base_of_v<ESFDSException, ESFDSUserAbortedOperation> &&
              std::is_base_of_v<ESFDSException, ESFDSUnknownWriteFormat>);

std::string SFDS_FormatIDText(std::uint8_t ID) { return Format("%03X", static_cast<unsigned>(ID)); }
