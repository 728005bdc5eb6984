#pragma once

#include <string>
#include <string_view>

// The registry is called through its narrow ("A") functions, so text crosses that
// boundary in the system's ANSI code page. These are the only two conversions.
namespace Module1 {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

}  // namespace Module1
