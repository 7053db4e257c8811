// Texts cross between the core (UTF-8) and the platform's wide-character
// calls (UTF-16) only here.
#pragma once

#include <string>
#include <string_view>

namespace tb::ui::win32 {

// Ill-formed input never fails: what cannot be converted becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace tb::ui::win32
