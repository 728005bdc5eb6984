// What Windows reads from quillrake.exe itself before any of its code runs: the
// version record and the icons (the manifest is checked as XML, in check-pe.py).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "support/Process.h"

namespace {

using testing_support::ProgramPath;

TEST(Executable, VersionRecordNamesQuillrakeVersionOneInJapanese) {
    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version record in quillrake.exe";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

    auto text = [&](const wchar_t* name) {
        void* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        if (!VerQueryValueW(record.data(), query.c_str(), &value, &chars)) return std::wstring(L"<none>");
        return std::wstring(static_cast<const wchar_t*>(value));
    };
    const std::pair<const wchar_t*, const wchar_t*> kStrings[] = {
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"FileDescription", L"Quillrake"},
        {L"ProductName", L"Quillrake"},
        {L"InternalName", L"Quillrake"},
        {L"OriginalFilename", L"quillrake.exe"},
        {L"CompanyName", L"the Quillrake developers"},
        {L"LegalCopyright", L"Copyright (C) 2026 the Quillrake developers. MIT License."},
    };
    for (const auto& [name, value] : kStrings) EXPECT_EQ(text(name), value) << ::testing::PrintToString(std::wstring(name));

    void* fixedPart = nullptr;
    UINT fixedBytes = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &fixedPart, &fixedBytes));
    ASSERT_GE(fixedBytes, sizeof(VS_FIXEDFILEINFO));
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(fixedPart);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(0, 1)) << "1.0";
    EXPECT_EQ(fixed.dwFileVersionLS, 0u) << ".0.0";
    EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed.dwProductVersionLS, 0u);

    void* translation = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &translation, &bytes));
    ASSERT_GE(bytes, 4u);
    EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0411);
    EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);
}

// The bytes of one resource of quillrake.exe; empty when it has none.
std::string ProgramResource(LPCWSTR type, int id) {
    const HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (program == nullptr) return {};
    const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(id), type);
    std::string bytes;
    if (found != nullptr)
        bytes.assign(static_cast<const char*>(LockResource(LoadResource(program, found))),
                     SizeofResource(program, found));
    FreeLibrary(program);
    return bytes;
}

// The title bar and the taskbar find an image of their own size, not a shrunk one.
TEST(Executable, IconHas16And32And48PixelImagesIn16Colours) {
    const std::string group = ProgramResource(RT_GROUP_ICON, IDI_QUILLRAKE);
    ASSERT_GE(group.size(), 6u);
    std::vector<std::pair<int, int>> images;  // size, colours
    for (size_t at = 6; at + 14 <= group.size(); at += 14)
        images.emplace_back(static_cast<unsigned char>(group[at]), static_cast<unsigned char>(group[at + 2]));
    const std::vector<std::pair<int, int>> expected = {{16, 16}, {32, 16}, {48, 16}};
    EXPECT_EQ(images, expected);
}

}  // namespace
