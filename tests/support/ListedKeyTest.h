#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "registry/Module1.h"
#include "support/ScratchKey.h"

namespace testing_support {

// The listing reads root\path; here root is a fresh scratch key and the key under
// test is its "RecentFiles" subkey, created on first use.
class ListedKeyTest : public ::testing::Test {
protected:
    static constexpr wchar_t kPath[] = L"RecentFiles";

    HKEY Listed() {
        if (listed_ == nullptr) listed_ = CreateKey(scratch_.get(), kPath);
        return listed_;
    }
    std::int32_t List() { return Module1::ReadRegistryValues(scratch_.get(), kPath); }
    void TearDown() override {
        if (listed_ != nullptr) RegCloseKey(listed_);
    }

    ScratchKey scratch_;
    HKEY listed_ = nullptr;
};

}  // namespace testing_support
