#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Module1 {

// Where the development environment keeps its list of recent projects, below
// HKEY_CURRENT_USER: the key kRecentFilesName inside kRecentFilesParent.
inline constexpr wchar_t kRecentFilesParent[] = L"Software\\Microsoft\\Visual Basic\\5.0";
inline constexpr wchar_t kRecentFilesName[] = L"RecentFiles";
inline std::wstring RecentFilesPath() {
    return std::wstring(kRecentFilesParent) + L"\\" + kRecentFilesName;
}

// One display line per value ("name = data"), written by ReadRegistryValues.
// Holds exactly the lines of the last listing that found values.
extern std::vector<std::wstring> RegistryValueLines;

// Lists every value of root\path into RegistryValueLines, in the registry's own
// enumeration order. Returns the index of the last line, or -1 when the key cannot
// be opened or holds no values (RegistryValueLines is then left as it was).
std::int32_t ReadRegistryValues(HKEY root, const std::wstring& path);

// The part of text before its first NUL character, or all of it.
std::wstring TrimAtNull(std::wstring_view text);

// Deletes the one subkey subkeyName of root\parentPath (never recursively). True only
// when the subkey was deleted and the parent key was closed without error.
bool DeleteRegistryKey(HKEY root, const std::wstring& parentPath, const std::wstring& subkeyName);

}  // namespace Module1
