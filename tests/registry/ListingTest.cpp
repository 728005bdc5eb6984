// Listing a key's values as "name = data" lines, against the real registry.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "registry/Module1.h"
#include "support/ListedKeyTest.h"

namespace {

using Module1::ReadRegistryValues;
using Module1::RegistryValueLines;
using testing_support::Bytes;
using testing_support::ScratchKey;

class ListingTest : public testing_support::ListedKeyTest {
protected:
    void SetUp() override { RegistryValueLines = {L"left from before"}; }
};

// ---- One value, each kind of data -------------------------------------------

struct FormatCase {
    const char* label;
    std::wstring name;
    DWORD type;
    Bytes data;
    std::wstring line;
};

Bytes Sz(std::wstring_view text) {
    Bytes data = testing_support::WideBytes(text);
    data.insert(data.end(), {0, 0});
    return data;
}

const FormatCase kFormatCases[] = {
    {"String", L"1", REG_SZ, Sz(L"C:\\a.vbp"), L"1 = C:\\a.vbp"},
    {"EmptyName", L"", REG_SZ, Sz(L"C:\\default.vbp"), L" = C:\\default.vbp"},
    {"EmbeddedNul", L"v", REG_SZ, Sz(std::wstring(L"ab\0cd", 5)), L"v = ab"},
    {"ZeroLengthString", L"v", REG_SZ, {}, L"v = "},
    {"StringWithoutTerminator", L"v", REG_SZ, testing_support::WideBytes(L"xyz"), L"v = xyz"},
    {"DwordMax", L"d", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, L"d = 4294967295"},
    {"DwordOne", L"d", REG_DWORD, {0x01, 0x00, 0x00, 0x00}, L"d = 1"},
    {"DwordZero", L"d", REG_DWORD, {0, 0, 0, 0}, L"d = 0"},
    {"BinaryEndsAtZeroByte", L"b", REG_BINARY, {0x41, 0x42, 0x00, 0x43}, L"b = AB"},
    {"BinaryWithoutZeroByte", L"b", REG_BINARY, {0x41, 0x42, 0x43}, L"b = ABC"},
    {"EmptyBinary", L"b", REG_BINARY, {}, L"b = "},
    {"ExpandString", L"x", REG_EXPAND_SZ, Sz(L"%TEMP%\\p.vbp"), L"x = "},
    {"MultiString", L"m", REG_MULTI_SZ, Sz(std::wstring(L"a\0b\0", 4)), L"m = "},
    {"Qword", L"q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"q = "},
    {"None", L"n", REG_NONE, {0x41}, L"n = "},
};

class FormatTest : public ListingTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatTest, OneValueGivesOneLine) {
    const FormatCase& c = GetParam();
    testing_support::SetValue(Listed(), c.name, c.type, c.data);
    ASSERT_EQ(List(), 0);
    ASSERT_EQ(RegistryValueLines.size(), 1u);
    EXPECT_EQ(RegistryValueLines[0], c.line);
}

INSTANTIATE_TEST_SUITE_P(Types, FormatTest, ::testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- Several values ---------------------------------------------------------

TEST_F(ListingTest, StringsAreListedInEnumerationOrder) {
    testing_support::SetString(Listed(), L"1", L"C:\\a.vbp");
    testing_support::SetString(Listed(), L"2", L"C:\\b.vbp");
    testing_support::SetString(Listed(), L"3", L"C:\\c.vbp");

    ASSERT_EQ(List(), 2);
    const std::vector<std::wstring> expected = {L"1 = C:\\a.vbp", L"2 = C:\\b.vbp",
                                                L"3 = C:\\c.vbp"};
    EXPECT_EQ(RegistryValueLines, expected);
}

TEST_F(ListingTest, EveryLineKeepsItsOwnData) {
    // Each value read on its own: nothing of one leaks into the next line.
    testing_support::SetDword(Listed(), L"a", 4294967295u);
    testing_support::SetDword(Listed(), L"b", 7);
    testing_support::SetValue(Listed(), L"c", REG_BINARY, {});
    testing_support::SetString(Listed(), L"d", L"");
    testing_support::SetString(Listed(), L"e", L"C:\\e.vbp");

    ASSERT_EQ(List(), 4);
    const std::vector<std::wstring> expected = {L"a = 4294967295", L"b = 7", L"c = ", L"d = ",
                                                L"e = C:\\e.vbp"};
    EXPECT_EQ(RegistryValueLines, expected);
}

TEST_F(ListingTest, NameOfEightyBytesEndsTheListingJustBeforeIt) {
    const std::wstring fits(79, L'B');
    const std::wstring tooLong = L"C" + std::wstring(79, L'x');  // 80 bytes
    testing_support::SetString(Listed(), L"A", L"first");
    testing_support::SetString(Listed(), fits, L"fits");
    testing_support::SetString(Listed(), tooLong, L"too long");
    testing_support::SetString(Listed(), L"D", L"never reached");
    ASSERT_EQ(testing_support::EnumerationOrder(Listed()),
              (std::vector<std::wstring>{L"A", fits, tooLong, L"D"}));

    ASSERT_EQ(List(), 1);
    EXPECT_EQ(RegistryValueLines, (std::vector<std::wstring>{L"A = first", fits + L" = fits"}));
}

// ---- Nothing to list --------------------------------------------------------

TEST_F(ListingTest, MissingKeyGivesMinusOneAndKeepsTheLines) {
    EXPECT_EQ(List(), -1);
    EXPECT_EQ(RegistryValueLines, std::vector<std::wstring>{L"left from before"});
}

TEST_F(ListingTest, KeyWithoutValuesGivesMinusOneAndKeepsTheLines) {
    testing_support::CreateKey(Listed(), L"subkeys are not values");
    EXPECT_EQ(List(), -1);
    EXPECT_EQ(RegistryValueLines, std::vector<std::wstring>{L"left from before"});
}

TEST_F(ListingTest, ShorterSecondListingLeavesOnlyItsOwnLines) {
    for (const wchar_t* name : {L"1", L"2", L"3"}) testing_support::SetString(Listed(), name, L"x");
    ASSERT_EQ(List(), 2);

    ScratchKey other;
    const HKEY otherList = testing_support::CreateKey(other.get(), L"RecentFiles");
    testing_support::SetString(otherList, L"only", L"C:\\only.vbp");
    RegCloseKey(otherList);
    ASSERT_EQ(ReadRegistryValues(other.get(), L"RecentFiles"), 0);
    EXPECT_EQ(RegistryValueLines, std::vector<std::wstring>{L"only = C:\\only.vbp"});
}

// ---- A value that changes while it is read ----------------------------------

// Set by a test before the listing: the value the substitute grows, how often.
HKEY g_growingKey = nullptr;
int g_growthsLeft = 0;

LSTATUS WINAPI GrowBeforeFetch(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars,
                               LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataBytes) {
    if (data != nullptr && g_growthsLeft > 0) {
        --g_growthsLeft;
        testing_support::SetString(g_growingKey, L"v", L"C:\\grown\\deeper");
    }
    return RegEnumValueA(key, index, name, nameChars, reserved, type, data, dataBytes);
}

TEST_F(ListingTest, ValueThatGrewSinceItsProbeIsReadAgain) {
    testing_support::RegistryApiRestorer restore;
    testing_support::SetString(Listed(), L"v", L"C:\\short");
    g_growingKey = Listed();
    g_growthsLeft = 1;
    Module1::Registry().EnumValue = &GrowBeforeFetch;

    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines[0], L"v = C:\\grown\\deeper");
}

LSTATUS WINAPI FetchAlwaysTooSmall(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars,
                                   LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataBytes) {
    const LSTATUS status = RegEnumValueA(key, index, name, nameChars, reserved, type, nullptr,
                                         dataBytes);
    return data != nullptr && status == ERROR_SUCCESS ? ERROR_MORE_DATA : status;
}

TEST_F(ListingTest, DataThatCannotBeReadIsNotMadeUp) {
    testing_support::RegistryApiRestorer restore;
    testing_support::SetDword(Listed(), L"d", 12345);
    testing_support::SetString(Listed(), L"s", L"C:\\s.vbp");
    Module1::Registry().EnumValue = &FetchAlwaysTooSmall;

    ASSERT_EQ(List(), 1);
    EXPECT_EQ(RegistryValueLines, (std::vector<std::wstring>{L"d = ", L"s = "}));
}

LSTATUS WINAPI OutOfMemoryAtTheThirdValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars,
                                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataBytes) {
    if (index == 2) throw std::bad_alloc();
    return RegEnumValueA(key, index, name, nameChars, reserved, type, data, dataBytes);
}

TEST_F(ListingTest, ListingThatFailsHalfwayLeavesTheLastOneWhole) {
    testing_support::RegistryApiRestorer restore;
    for (const wchar_t* name : {L"1", L"2", L"3"}) testing_support::SetString(Listed(), name, L"x");
    Module1::Registry().EnumValue = &OutOfMemoryAtTheThirdValue;

    EXPECT_THROW(List(), std::bad_alloc);
    EXPECT_EQ(RegistryValueLines, std::vector<std::wstring>{L"left from before"});
}

// ---- Japanese names and data in code page 932 -------------------------------

class JapaneseListingTest : public ListingTest {
protected:
    void SetUp() override {
        ListingTest::SetUp();
        ASSERT_EQ(GetACP(), 932u) << "run this suite under a Japanese locale (LC_ALL=ja_JP.UTF-8)";
    }
};

TEST_F(JapaneseListingTest, NameAndPathComeBackIntact) {
    testing_support::SetString(Listed(), L"最近", L"C:\\プロジェクト\\売上集計.vbp");
    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines[0], L"最近 = C:\\プロジェクト\\売上集計.vbp");
}

TEST_F(JapaneseListingTest, NameLimitCountsDoubleByteCharactersAsTwoBytes) {
    const std::wstring fits(39, L'語');     // 78 bytes
    const std::wstring tooLong(40, L'語');  // 80 bytes
    const std::wstring after = L"語龍";     // enumerated after both
    testing_support::SetString(Listed(), fits, L"78");
    testing_support::SetString(Listed(), tooLong, L"80");
    testing_support::SetString(Listed(), after, L"never reached");
    ASSERT_EQ(testing_support::EnumerationOrder(Listed()),
              (std::vector<std::wstring>{fits, tooLong, after}));

    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines, std::vector<std::wstring>{fits + L" = 78"});
}

}  // namespace
