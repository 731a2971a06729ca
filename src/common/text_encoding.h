#pragma once
// Record strings are 8-bit Windows-1252 text; the terminal, JSON and the UI speak
// UTF-8. These convert at those edges.
#include <string>
#include <string_view>

namespace qm {

std::string Cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 cannot hold become '?'. Invalid UTF-8 bytes too.
std::string Utf8ToCp1252(std::string_view text);

}  // namespace qm
