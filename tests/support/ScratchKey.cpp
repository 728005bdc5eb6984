#include "support/ScratchKey.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <atomic>

namespace testing_support {

namespace {

constexpr wchar_t kTestRoot[] = L"Software\\QuillrakeTests";

// Gives back full access to root\path and everything below it, which tests may have
// locked with a DACL, so that the tree can be deleted.
void Unlock(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SetDacl(key, L"D:P(A;;KA;;;WD)");
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::vector<std::wstring> subkeys;
    wchar_t name[256];
    for (DWORD i = 0, chars = 256; RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr,
                                                 nullptr) == ERROR_SUCCESS;
         ++i, chars = 256)
        subkeys.emplace_back(name, chars);
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys) Unlock(root, path + L"\\" + subkey);
}

}  // namespace

ScratchKey::ScratchKey() {
    static std::atomic<unsigned> counter{0};
    path_ = std::wstring(kTestRoot) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    key_ = CreateKey(HKEY_CURRENT_USER, path_);
}

ScratchKey::~ScratchKey() {
    if (key_ != nullptr) RegCloseKey(key_);
    if (RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()) != ERROR_SUCCESS) {
        Unlock(HKEY_CURRENT_USER, path_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    // kTestRoot stays: tests in other processes create their keys below it meanwhile,
    // which fails (ERROR_KEY_DELETED) when it is deleted under them while empty.
}

HKEY CreateKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "creating key";
    return key;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SetValue(HKEY key, const std::wstring& name, DWORD type, const Bytes& data) {
    const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, type,
                                          data.empty() ? nullptr : data.data(),
                                          static_cast<DWORD>(data.size()));
    ASSERT_EQ(status, ERROR_SUCCESS) << "writing value";
}

void SetDacl(HKEY key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
}

std::string OracleAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

std::wstring OracleWide(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

Bytes WideBytes(std::wstring_view text) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(text.data());
    return Bytes(first, first + text.size() * sizeof(wchar_t));
}

void SetString(HKEY key, const std::wstring& name, std::wstring_view text) {
    Bytes data = WideBytes(text);
    data.insert(data.end(), {0, 0});
    SetValue(key, name, REG_SZ, data);
}

void SetDword(HKEY key, const std::wstring& name, std::uint32_t number) {
    SetValue(key, name, REG_DWORD,
             {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
              static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)});
}

std::vector<std::wstring> EnumerationOrder(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameChars = 16384;
        if (RegEnumValueW(key, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return names;
        names.emplace_back(name, nameChars);
    }
}

}  // namespace testing_support
