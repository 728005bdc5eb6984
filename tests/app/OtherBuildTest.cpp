// The x86 and x64 builds side by side: each copy keeps the other out, and each reads
// the same HKEY_CURRENT_USER\Software, with no WoW64 redirection between them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/Process.h"
#include "support/ScratchKey.h"
#include "window/Form1.h"

namespace {

using namespace testing_support;

constexpr DWORD kPatience = 20000;

// The other build's quillrake.exe, named in other-build.txt beside the test programs;
// a test skips when that build has not been made (one preset built on its own).
std::wstring OtherProgram() {
    std::wstring here = ProgramPath();
    here.resize(here.find_last_of(L'\\') + 1);
    std::ifstream in(std::filesystem::path(here + L"other-build.txt"));
    std::string path;  // UTF-8
    std::getline(in, path);
    std::wstring wide(path.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                                        wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

TEST(OtherBuild, A32BitAndA64BitCopyExcludeEachOther) {
    ASSERT_FALSE(OtherProgram().empty()) << "other-build.txt names no program";
    if (GetFileAttributesW(OtherProgram().c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the other build has not been made";
    ProgramCopy mine;
    ASSERT_NE(WaitForWindow(mine.id(), Form1::kClassName, kPatience), nullptr);
    ProgramCopy other(-1, OtherProgram());
    ASSERT_TRUE(other.started());

    const HWND box = WaitForWindow(other.id(), L"#32770", kPatience);
    ASSERT_NE(box, nullptr) << "the other build's copy was not refused";
    EXPECT_TRUE(WindowsOf(other.id(), Form1::kClassName).empty());
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(other.WaitForExit(kPatience));
    EXPECT_EQ(WindowsOf(mine.id(), Form1::kClassName).size(), 1u);
}

TEST(OtherBuild, ListsTheValuesThisBuildWrote) {
    ASSERT_FALSE(OtherProgram().empty()) << "other-build.txt names no program";
    if (GetFileAttributesW(OtherProgram().c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the other build has not been made";
    const VisualBasicTree tree;
    const HKEY recent = CreateKey(HKEY_CURRENT_USER, kRecentFilesKey);
    SetString(recent, L"1", L"C:\\プロジェクト\\a.vbp");
    SetDword(recent, L"2", 2);
    RegCloseKey(recent);

    ProgramCopy other(-1, OtherProgram());
    const HWND window = WaitForWindow(other.id(), Form1::kClassName, kPatience);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ListItems(GetDlgItem(window, IDC_LIST1)),
              (std::vector<std::wstring>{L"1 = C:\\プロジェクト\\a.vbp", L"2 = 2"}));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(other.WaitForExit(kPatience));
}

}  // namespace
