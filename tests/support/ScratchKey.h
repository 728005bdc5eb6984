#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryApi.h"
#include "support/Restorer.h"

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// Where the development environment keeps its recent projects, below HKEY_CURRENT_USER;
// written here on their own so that a wrong location in the program fails the tests.
inline constexpr wchar_t kVb5Key[] = L"Software\\Microsoft\\Visual Basic\\5.0";
inline constexpr wchar_t kRecentFilesKey[] = L"Software\\Microsoft\\Visual Basic\\5.0\\RecentFiles";

// A fresh, empty key below HKCU\Software\QuillrakeTests, deleted with everything
// in it when the holder goes away. Each test gets its own registry tree.
class ScratchKey {
public:
    ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    ~ScratchKey();

    HKEY get() const { return key_; }
    const std::wstring& path() const { return path_; }  // below HKEY_CURRENT_USER

private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

// The development environment's whole tree in the real HKEY_CURRENT_USER, gone before
// and after a test however the test ends.
struct VisualBasicTree {
    static constexpr wchar_t kPath[] = L"Software\\Microsoft\\Visual Basic";
    VisualBasicTree() { RegDeleteTreeW(HKEY_CURRENT_USER, kPath); }
    ~VisualBasicTree() { RegDeleteTreeW(HKEY_CURRENT_USER, kPath); }
    VisualBasicTree(const VisualBasicTree&) = delete;
    VisualBasicTree& operator=(const VisualBasicTree&) = delete;
};

// Creates (or opens) root\path with full access; the caller closes the key.
HKEY CreateKey(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);

// Writes one value with the wide API, exactly these bytes.
void SetValue(HKEY key, const std::wstring& name, DWORD type, const Bytes& data);
void SetString(HKEY key, const std::wstring& name, std::wstring_view text);  // with its NUL
void SetDword(HKEY key, const std::wstring& name, std::uint32_t number);

// Gives key a DACL from an SDDL string; the handle keeps the access it was opened with.
void SetDacl(HKEY key, const wchar_t* sddl);

// The system's own conversions to and from the ANSI code page, written here apart
// from the program's, so that expected text does not come from the code under test.
std::string OracleAnsi(const std::wstring& text);
std::wstring OracleWide(const std::string& bytes);

// UTF-16 bytes of text, as a REG_SZ stores them (no terminator added).
Bytes WideBytes(std::wstring_view text);

// The value names of key in the registry's own enumeration order.
std::vector<std::wstring> EnumerationOrder(HKEY key);

// Puts the real registry functions back when a test that replaced some ends.
struct RegistryApiRestorer : Restorer<Module1::RegistryApi> {
    RegistryApiRestorer() : Restorer(Module1::Registry()) {}
};

}  // namespace testing_support
