#pragma once

#include <string>
#include <string_view>

#include "host/Export.h"

class FString;

// Text conversions at the host's edges. Narrow text is UTF-8; wide text is
// UTF-16 where wchar_t has 16 bits (Windows) and UTF-32 where it has 32.
// Malformed input never fails: each bad sequence becomes U+FFFD.
namespace devhost
{
ASAAPI_API std::wstring WideFromUtf8(std::string_view text);
ASAAPI_API std::string Utf8FromWide(std::wstring_view text);
ASAAPI_API std::string Utf8(const FString& text);
} // namespace devhost
