// A click on the real program's window clears the key and nothing else.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/Process.h"
#include "support/ScratchKey.h"
#include "window/Form1.h"

namespace {

using namespace testing_support;

constexpr DWORD kPatience = 20000;

using Export = std::map<std::wstring, std::vector<std::wstring>>;

// Wine's own "reg export" of the whole HKEY_CURRENT_USER, by section:
// "[key path]" -> its value lines.
Export ExportCurrentUser(const std::wstring& file) {
    Export sections;
    DeleteFileW(file.c_str());  // never an earlier run's
    if (!RunHidden(L"reg.exe export HKEY_CURRENT_USER \"" + file + L"\" /y")) {
        ADD_FAILURE() << "reg.exe did not export HKEY_CURRENT_USER";
        return sections;
    }

    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    std::wstring section;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        const std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.front() == L'[') section = line;
        // Wine's own volatile bookkeeping, which appears when any GUI program starts.
        if (section.starts_with(L"[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters"))
            continue;
        else if (!line.empty()) sections[section].push_back(line);
        else sections[section];  // keys without values count too
    }
    return sections;
}

// The sections that are not the same in both exports.
std::vector<std::wstring> Differences(const Export& expected, const Export& actual) {
    std::vector<std::wstring> differences;
    for (const auto& [section, lines] : expected) {
        const auto found = actual.find(section);
        if (found == actual.end()) differences.push_back(L"missing " + section);
        else if (found->second != lines) differences.push_back(L"changed " + section);
    }
    for (const auto& [section, lines] : actual)
        if (expected.count(section) == 0) differences.push_back(L"added " + section);
    return differences;
}

TEST(ClearEndToEnd, OnlyTheRecentFilesKeyDisappears) {
    const VisualBasicTree tree;
    const HKEY parent = CreateKey(HKEY_CURRENT_USER, kVb5Key);
    SetString(parent, L"kept", L"a value of 5.0 itself");
    const HKEY other = CreateKey(parent, L"Other");
    SetDword(other, L"sibling", 42);
    const HKEY recent = CreateKey(parent, L"RecentFiles");
    SetString(recent, L"1", L"C:\\a.vbp");
    SetString(recent, L"2", L"C:\\プロジェクト\\b.vbp");
    SetDword(recent, L"3", 3);
    for (HKEY key : {recent, other, parent}) RegCloseKey(key);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto before = ExportCurrentUser(std::wstring(temp) + L"quillrake-before.reg");
    const std::wstring recentSection =
        L"[HKEY_CURRENT_USER\\" + std::wstring(kRecentFilesKey) + L"]";
    ASSERT_EQ(before.count(recentSection), 1u);

    ProgramCopy program;
    const HWND window = WaitForWindow(program.id(), Form1::kClassName, kPatience);
    ASSERT_NE(window, nullptr);
    const HWND command1 = GetDlgItem(window, IDC_COMMAND1);
    ASSERT_TRUE(IsWindowEnabled(command1));
    EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_LIST1), LB_GETCOUNT, 0, 0), 3);

    PostMessageW(command1, BM_CLICK, 0, 0);
    const ULONGLONG deadline = GetTickCount64() + kPatience;
    while (IsWindowEnabled(command1) && GetTickCount64() < deadline) Sleep(20);
    EXPECT_FALSE(IsWindowEnabled(command1));
    EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_LIST1), LB_GETCOUNT, 0, 0), 0);
    wchar_t log[1024] = {};
    // WM_GETTEXT, not GetWindowText: only the message reads another process's edit box.
    SendMessageW(GetDlgItem(window, IDC_TEXT1), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(log));
    const std::wstring logText = log;
    EXPECT_NE(logText.find(L"  レジストキーの削除に成功\r\n"), std::wstring::npos) << "log missing success";
    const std::wstring notFound = L"  キーを発見できず";
    EXPECT_TRUE(logText.ends_with(notFound)) << "last log line: not found";

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(kPatience));

    auto expected = before;
    expected.erase(recentSection);
    const auto after = ExportCurrentUser(std::wstring(temp) + L"quillrake-after.reg");
    EXPECT_EQ(Differences(expected, after), std::vector<std::wstring>{});
    EXPECT_EQ(after.count(L"[HKEY_CURRENT_USER\\" + std::wstring(kVb5Key) + L"\\Other]"), 1u);
}

}  // namespace
