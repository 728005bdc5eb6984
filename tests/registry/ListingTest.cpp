// Listing a key's values as "name = data" lines, against the real registry.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
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
    // Shorter data fills the low bytes; longer data shows its first four.
    {"DwordNoBytes", L"d", REG_DWORD, {}, L"d = 0"},
    {"DwordOneByte", L"d", REG_DWORD, {0x11}, L"d = 17"},
    {"DwordTwoBytes", L"d", REG_DWORD, {0x11, 0x22}, L"d = 8721"},
    {"DwordThreeBytes", L"d", REG_DWORD, {0x11, 0x22, 0x33}, L"d = 3351057"},
    {"DwordFiveBytes", L"d", REG_DWORD, {0x11, 0x22, 0x33, 0x44, 0x55}, L"d = 1144201745"},
    {"DwordSixBytes", L"d", REG_DWORD, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, L"d = 1144201745"},
    {"DwordSevenBytes", L"d", REG_DWORD, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}, L"d = 1144201745"},
    {"DwordEightBytes", L"d", REG_DWORD, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, L"d = 1144201745"},
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

// Set by a test before the listing: how the substitute rewrites the value in the key,
// once, just before its data is fetched.
HKEY g_rewrittenKey = nullptr;
void (*g_rewrite)(HKEY key) = nullptr;

LSTATUS WINAPI RewriteBeforeFetch(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars,
                                  LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataBytes) {
    if (data != nullptr && g_rewrite != nullptr) std::exchange(g_rewrite, nullptr)(g_rewrittenKey);
    return RegEnumValueA(key, index, name, nameChars, reserved, type, data, dataBytes);
}

TEST_F(ListingTest, ValueRewrittenSinceItsProbeIsReadAgain) {
    const struct {
        const char* what;
        void (*rewrite)(HKEY key);
        const wchar_t* line;
    } kRewrites[] = {
        {"longer", [](HKEY key) { testing_support::SetString(key, L"v", L"C:\\grown\\deeper"); },
         L"v = C:\\grown\\deeper"},
        {"another type", [](HKEY key) { testing_support::SetDword(key, L"v", 7); }, L"v = 7"},
    };
    testing_support::RegistryApiRestorer restore;
    Module1::Registry().EnumValue = &RewriteBeforeFetch;
    for (const auto& row : kRewrites) {
        SCOPED_TRACE(row.what);
        testing_support::SetString(Listed(), L"v", L"C:\\short");
        g_rewrittenKey = Listed();
        g_rewrite = row.rewrite;
        ASSERT_EQ(List(), 0);
        EXPECT_EQ(RegistryValueLines[0], row.line);
    }
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
    // English formats on a Japanese system: the registry's narrow text is still in the
    // system's code page, whatever the thread's locale says.
    const LCID threadLocale = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    ASSERT_EQ(List(), 0);
    SetThreadLocale(threadLocale);
    EXPECT_EQ(RegistryValueLines[0], L"最近 = C:\\プロジェクト\\売上集計.vbp");
}

// ---- The 79-byte name limit, in code page 932 -------------------------------

// Names written in this order (Wine enumerates them so too), and how many of them
// are listed before the first name of 80 ANSI bytes or more ends the listing.
struct NameLimitCase {
    const char* label;
    std::vector<std::wstring> names;
    size_t listed;
};

const NameLimitCase kNameLimitCases[] = {
    {"Ascii79ListedThen80Ends",
     {L"A", std::wstring(79, L'B'), L"C" + std::wstring(79, L'x'), L"D"}, 2},
    {"DoubleByte78ListedThen80Ends", {std::wstring(39, L'語'), std::wstring(40, L'語'), L"語龍"}, 1},
    {"DoubleByteEndingAtByte79IsListed", {L"a" + std::wstring(39, L'漢')}, 1},
    // The 80th byte is the first half of a character.
    {"Byte80InsideACharacterEnds", {L"a" + std::wstring(40, L'漢'), L"b" + std::wstring(39, L'漢')}, 0},
    {"Exactly80BytesEnds", {std::wstring(40, L'漢')}, 0},
};

class NameLimitTest : public JapaneseListingTest, public ::testing::WithParamInterface<NameLimitCase> {};

TEST_P(NameLimitTest, ListingEndsBeforeTheFirstNameOfEightyBytes) {
    const NameLimitCase& c = GetParam();
    for (size_t i = 0; i < c.names.size(); ++i)
        testing_support::SetString(Listed(), c.names[i], L"d" + std::to_wstring(i));
    ASSERT_EQ(testing_support::EnumerationOrder(Listed()), c.names);

    ASSERT_EQ(List(), static_cast<std::int32_t>(c.listed) - 1);
    std::vector<std::wstring> expected;
    for (size_t i = 0; i < c.listed; ++i) expected.push_back(c.names[i] + L" = d" + std::to_wstring(i));
    if (c.listed > 0) {
        EXPECT_EQ(RegistryValueLines, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Japanese, NameLimitTest, ::testing::ValuesIn(kNameLimitCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
