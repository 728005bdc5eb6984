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

}  // namespace
