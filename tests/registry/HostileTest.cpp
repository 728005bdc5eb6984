// Unusual and hostile registry contents: the listing stays correct and calm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/Module1.h"
#include "support/ListedKeyTest.h"

namespace {

using Module1::ReadRegistryValues;
using Module1::RegistryValueLines;
using namespace testing_support;

using HostileTest = ListedKeyTest;

// What the system's own round trip through the ANSI code page makes of text.
std::wstring ThroughAnsi(const std::wstring& text) { return OracleWide(OracleAnsi(text)); }

TEST_F(HostileTest, TenThousandValuesAreAllListedInOrder) {
    for (int i = 0; i < 10000; ++i)
        SetString(Listed(), L"v" + std::to_wstring(i), L"C:\\p" + std::to_wstring(i) + L".vbp");
    const std::vector<std::wstring> order = EnumerationOrder(Listed());
    ASSERT_EQ(order.size(), 10000u);

    ASSERT_EQ(List(), 9999);
    for (size_t i = 0; i < order.size(); ++i) {
        const std::wstring number = order[i].substr(1);
        ASSERT_EQ(RegistryValueLines[i], order[i] + L" = C:\\p" + number + L".vbp") << "line " << i;
    }
}

TEST_F(HostileTest, OneMebibyteOfDataIsShownWhole) {
    Bytes binary(1 << 20, 'b');
    SetValue(Listed(), L"bin", REG_BINARY, binary);
    const std::wstring text((1 << 20) / 2 - 1, L's');
    SetString(Listed(), L"str", text);

    ASSERT_EQ(List(), 1);
    EXPECT_EQ(RegistryValueLines[0], L"bin = " + std::wstring(1 << 20, L'b'));
    EXPECT_EQ(RegistryValueLines[1], L"str = " + text);
}

TEST_F(HostileTest, StringWithAnOddNumberOfBytesShowsItsWholeCharacters) {
    Bytes data = WideBytes(L"abc");
    data.push_back('d');  // half a character
    SetValue(Listed(), L"odd", REG_SZ, data);
    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines[0].substr(0, 9), L"odd = abc");
    EXPECT_LE(RegistryValueLines[0].size(), 10u);
}

TEST_F(HostileTest, TextTheCodePageCannotHoldShowsTheSystemsConversion) {
    const std::wstring name = L"名前\u0416\u00e9";  // Japanese, Cyrillic, Latin
    const std::wstring data = L"C:\\\u0416\u4e2d\u00e9\\x.vbp";
    SetString(Listed(), name, data);
    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines[0], ThroughAnsi(name) + L" = " + ThroughAnsi(data));
}

TEST_F(HostileTest, DwordDataOfEveryLengthFromZeroToEight) {
    const Bytes bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const wchar_t* expected[] = {L"0",         L"17",        L"8721",      L"3351057",
                                 L"1144201745", L"1144201745", L"1144201745", L"1144201745",
                                 L"1144201745"};
    for (size_t length = 0; length <= 8; ++length)
        SetValue(Listed(), L"d" + std::to_wstring(length), REG_DWORD,
                 Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));

    ASSERT_EQ(List(), 8);
    for (size_t length = 0; length <= 8; ++length)
        EXPECT_EQ(RegistryValueLines[length], L"d" + std::to_wstring(length) + L" = " + expected[length]);
}

class JapaneseHostileTest : public HostileTest {
protected:
    void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "run under LC_ALL=ja_JP.UTF-8"; }
};

TEST_F(JapaneseHostileTest, NameOf79BytesEndingInADoubleByteCharacterIsListed) {
    const std::wstring name = L"a" + std::wstring(39, L'漢');  // 1 + 78 bytes
    SetString(Listed(), name, L"x");
    ASSERT_EQ(List(), 0);
    EXPECT_EQ(RegistryValueLines[0], name + L" = x");
}

TEST_F(JapaneseHostileTest, NameWhose80thByteFallsInsideACharacterEndsTheListing) {
    SetString(Listed(), L"a" + std::wstring(40, L'漢'), L"x");  // the 40th character is bytes 80-81
    SetString(Listed(), L"b" + std::wstring(39, L'漢'), L"y");
    const std::vector<std::wstring> order = EnumerationOrder(Listed());
    ASSERT_EQ(order.front().size(), 41u);
    EXPECT_EQ(List(), -1);
}

TEST_F(JapaneseHostileTest, NameOfExactlyEightyBytesEndsTheListing) {
    SetString(Listed(), std::wstring(40, L'漢'), L"x");
    EXPECT_EQ(List(), -1);
}

}  // namespace
