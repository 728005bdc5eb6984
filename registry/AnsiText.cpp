#include "registry/AnsiText.h"

#include <windows.h>

#include <climits>

namespace Module1 {

std::string ToAnsi(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int wideChars = static_cast<int>(text.size());
    const int ansiBytes =
        WideCharToMultiByte(CP_ACP, 0, text.data(), wideChars, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(ansiBytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wideChars, result.data(), ansiBytes, nullptr,
                        nullptr);
    return result;
}

std::wstring FromAnsi(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    const int ansiBytes = static_cast<int>(bytes.size());
    const int wideChars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), ansiBytes, nullptr, 0);
    std::wstring result(static_cast<size_t>(wideChars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), ansiBytes, result.data(), wideChars);
    return result;
}

}  // namespace Module1
