// Deleting the one named subkey, against the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include "registry/Module1.h"
#include "support/ScratchKey.h"

namespace {

using Module1::DeleteRegistryKey;
using namespace testing_support;

// Counts what the module opens, and every close it asks for, by calling through to
// the real functions.
int g_opened = 0;
int g_closed = 0;
bool g_closeFails = false;

LSTATUS WINAPI CountingOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    const LSTATUS status = RegOpenKeyExA(root, path, options, access, key);
    if (status == ERROR_SUCCESS) ++g_opened;
    return status;
}

LSTATUS WINAPI CountingClose(HKEY key) {
    const LSTATUS status = RegCloseKey(key);
    ++g_closed;
    return g_closeFails ? ERROR_INVALID_HANDLE : status;
}

class DeletionTest : public ::testing::Test {
protected:
    static constexpr wchar_t kParent[] = L"5.0";
    static constexpr wchar_t kParentRecentFiles[] = L"5.0\\RecentFiles";

    void SetUp() override {
        g_opened = g_closed = 0;
        g_closeFails = false;
        Module1::Registry().OpenKey = &CountingOpen;
        Module1::Registry().CloseKey = &CountingClose;
        parent_ = CreateKey(scratch_.get(), kParent);
    }
    void TearDown() override { RegCloseKey(parent_); }
    void AddRecentFiles() {
        const HKEY recent = CreateKey(parent_, L"RecentFiles");
        SetString(recent, L"1", L"C:\\a.vbp");
        RegCloseKey(recent);
    }
    bool Delete() { return DeleteRegistryKey(scratch_.get(), kParent, L"RecentFiles"); }
    bool RecentFilesExists() { return KeyExists(scratch_.get(), kParentRecentFiles); }

    RegistryApiRestorer restore_;
    ScratchKey scratch_;
    HKEY parent_ = nullptr;
};

TEST_F(DeletionTest, ExistingSubkeyIsDeletedAndNothingElse) {
    AddRecentFiles();
    SetString(parent_, L"kept", L"value of 5.0 itself");
    RegCloseKey(CreateKey(parent_, L"Other"));

    EXPECT_TRUE(Delete());
    EXPECT_FALSE(RecentFilesExists());
    EXPECT_TRUE(KeyExists(scratch_.get(), L"5.0\\Other"));
    EXPECT_EQ(EnumerationOrder(parent_), std::vector<std::wstring>{L"kept"});
    EXPECT_EQ(g_opened, g_closed);
}

TEST_F(DeletionTest, MissingSubkeyFailsAndTheParentIsStillClosed) {
    EXPECT_FALSE(Delete());
    EXPECT_EQ(g_opened, 1);
    EXPECT_EQ(g_closed, 1);
}

TEST_F(DeletionTest, MissingParentFailsWithNothingOpened) {
    EXPECT_FALSE(DeleteRegistryKey(scratch_.get(), L"no such parent", L"RecentFiles"));
    EXPECT_EQ(g_opened, 0);
    EXPECT_EQ(g_closed, 0);
}

TEST_F(DeletionTest, SubkeyWithSubkeysOfItsOwnIsNotDeleted) {
    AddRecentFiles();
    RegCloseKey(CreateKey(scratch_.get(), L"5.0\\RecentFiles\\Nested"));
    EXPECT_FALSE(Delete());
    EXPECT_TRUE(KeyExists(scratch_.get(), L"5.0\\RecentFiles\\Nested"));
    EXPECT_EQ(g_opened, g_closed);
}

TEST_F(DeletionTest, DeletedButTheCloseFailedCountsAsFailure) {
    AddRecentFiles();
    g_closeFails = true;
    EXPECT_FALSE(Delete());
    EXPECT_FALSE(RecentFilesExists()) << "the deletion itself happened";
}

TEST_F(DeletionTest, ParentThatCannotBeOpenedWithFullAccessFails) {
    AddRecentFiles();
    // Everyone may read (and change the DACL back); nobody may write.
    SetDacl(parent_, L"D:P(A;;KR;;;WD)(A;;WD;;;WD)");
    EXPECT_FALSE(Delete());
    SetDacl(parent_, L"D:P(A;;KA;;;WD)");
    EXPECT_TRUE(RecentFilesExists());
    EXPECT_EQ(g_opened, 0);
}

}  // namespace
