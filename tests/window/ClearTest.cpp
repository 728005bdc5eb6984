// The clear button, clicked on the real window over a redirected registry tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FormHarness.h"

namespace {

using namespace testing_support;

class ClearTest : public FormTest {
protected:
    void AddThreeValues() {
        SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
        SetString(currentUser_.RecentFiles(), L"2", L"C:\\b.vbp");
        SetString(currentUser_.RecentFiles(), L"3", L"C:\\c.vbp");
    }
    // The log lines that the last action added to those before it.
    std::vector<std::wstring> LinesAddedSince(size_t linesBefore) const {
        std::vector<std::wstring> lines = LogLines(Log());
        EXPECT_GE(lines.size(), linesBefore);
        return std::vector<std::wstring>(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                                         lines.end());
    }
    const std::vector<std::wstring> kThreeLines = {L"1 = C:\\a.vbp", L"2 = C:\\b.vbp",
                                                   L"3 = C:\\c.vbp"};
};

TEST_F(ClearTest, ClickDeletesTheKeyLogsBothLinesAndDisablesTheButton) {
    AddThreeValues();
    Load();
    ASSERT_TRUE(IsWindowEnabled(Command1()));

    Click();

    const std::vector<std::wstring> added = LinesAddedSince(1);
    ASSERT_EQ(added.size(), 2u);
    ExpectStamped(added[0], L"レジストキーの削除に成功");
    ExpectStamped(added[1], L"キーを発見できず");
    EXPECT_TRUE(ListItems(List1()).empty());
    EXPECT_FALSE(IsWindowEnabled(Command1()));
    EXPECT_FALSE(KeyExists(currentUser_.root(), kRecentFilesKey));
    EXPECT_TRUE(KeyExists(currentUser_.root(), kVb5Key)) << "only the one subkey goes";
}

TEST_F(ClearTest, RefusedDeletionLogsFailureAndKeepsTheList) {
    AddThreeValues();
    RegCloseKey(CreateKey(currentUser_.RecentFiles(), L"Nested"));  // the registry refuses
    Load();

    Click();

    const std::vector<std::wstring> added = LinesAddedSince(1);
    ASSERT_EQ(added.size(), 2u);
    ExpectStamped(added[0], L"レジストキーの削除に失敗");
    ExpectStamped(added[1], L"3件のキーを発見");
    EXPECT_EQ(ListItems(List1()), kThreeLines);
    EXPECT_TRUE(IsWindowEnabled(Command1()));
}

LSTATUS WINAPI CloseThatFails(HKEY key) {
    RegCloseKey(key);
    return ERROR_INVALID_HANDLE;
}

TEST_F(ClearTest, DeletedButTheCloseFailedLogsFailureThenNotFound) {
    AddThreeValues();
    Load();
    RegistryApiRestorer restore;
    Module1::Registry().CloseKey = &CloseThatFails;

    Click();

    const std::vector<std::wstring> added = LinesAddedSince(1);
    ASSERT_EQ(added.size(), 2u);
    ExpectStamped(added[0], L"レジストキーの削除に失敗");
    ExpectStamped(added[1], L"キーを発見できず");
    EXPECT_FALSE(IsWindowEnabled(Command1()));
}

TEST_F(ClearTest, DisabledButtonDeletesNothing) {
    currentUser_.RecentFiles();  // exists, but without values: the button is disabled
    Load();
    ASSERT_FALSE(IsWindowEnabled(Command1()));
    const std::wstring log = Log();

    Click();

    EXPECT_EQ(Log(), log);
    EXPECT_TRUE(KeyExists(currentUser_.root(), kRecentFilesKey));
}

using ForegroundClearTest = ClearTest;  // shows the window: one at a time

TEST_F(ForegroundClearTest, ButtonLosesTheFocusToTheListWhenItIsDisabled) {
    AddThreeValues();
    Load();
    ShowWindow(form_->hwnd(), SW_SHOW);
    SetFocus(Command1());
    ASSERT_EQ(GetFocus(), Command1());
    Click();
    EXPECT_EQ(GetFocus(), List1()) << "keyboard users keep a place to stand";
}

}  // namespace
