// Listing while another thread rewrites the values and another process deletes and
// recreates the key: no crash, no line mixing two values, every listing ends.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>

#include "registry/Module1.h"
#include "support/Process.h"
#include "support/ScratchKey.h"

namespace {

using namespace testing_support;

constexpr std::uint32_t kDwordTag = 100000;  // a DWORD of value "dN" or "tN" is N * tag + k

// Every value says whose it is: strings start with their own name and "|", numbers
// divide to their own number. True when the change reached the key.
bool WriteRandomValue(HKEY key, std::mt19937& random, unsigned generation) {
    const unsigned n = random() % 40;
    const unsigned kind = random() % 4;
    std::wstring name(1, L"sdtt"[kind]);
    name += std::to_wstring(n);
    if (random() % 5 == 0) return RegDeleteValueW(key, name.c_str()) == ERROR_SUCCESS;
    if (kind == 1 || (kind >= 2 && random() % 2 == 0)) {
        const std::uint32_t number = n * kDwordTag + generation % kDwordTag;
        return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4) ==
               ERROR_SUCCESS;
    }
    const std::wstring text = name + L"|" + std::to_wstring(generation) + L"|" + std::wstring(random() % 3000, L'p');
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// True when the line's data, if any, belongs to the line's name.
bool LineIsWhole(const std::wstring& line) {
    const size_t separator = line.find(L" = ");
    if (separator == std::wstring::npos) return false;
    const std::wstring name = line.substr(0, separator);
    const std::wstring data = line.substr(separator + 3);
    if (data.empty()) return true;
    if (data.starts_with(name + L"|")) return name[0] != L'd';
    if (name[0] == L's' || data.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    return std::to_wstring(std::stoul(data) / kDwordTag) == name.substr(1);
}

TEST(ConcurrentChanges, ListingStaysWholeWhileValuesAndTheKeyChange) {
    ScratchKey scratch;
    const std::wstring keyPath = scratch.path() + L"\\RecentFiles";
    const HKEY alone = CreateKey(HKEY_CURRENT_USER, keyPath);
    SetString(alone, L"s0", L"s0|alone|");
    RegCloseKey(alone);
    // Alone first: the listing sees what was written, so the listings below read the
    // key that changes under them.
    ASSERT_EQ(Module1::ReadRegistryValues(scratch.get(), L"RecentFiles"), 0);
    ASSERT_EQ(Module1::RegistryValueLines[0], L"s0 = s0|alone|");

    // Counts the changes that reached the key: each listing waits for a new one, so
    // that how many listings there are, and that each follows a change, does not
    // depend on how the threads are scheduled.
    std::atomic<unsigned> changes{0};
    // Each thread is asked to stop and joined however the test ends, so that a failed
    // assertion reports instead of terminating the run.
    std::jthread writer([&](std::stop_token stop) {
        std::mt19937 random(7);
        HKEY key = nullptr;
        for (unsigned generation = 0; !stop.stop_requested(); ++generation) {
            if (key == nullptr &&
                RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) != ERROR_SUCCESS)
                continue;
            if (WriteRandomValue(key, random, generation)) ++changes;
            if (generation % 50 == 0) {  // the key may have been deleted under us
                RegCloseKey(key);
                key = nullptr;
            }
        }
        if (key != nullptr) RegCloseKey(key);
    });
    std::atomic<int> recreated{0};  // times the other process deleted and made the key again
    std::jthread otherProcess([&](std::stop_token stop) {
        const std::wstring full = L"\"HKEY_CURRENT_USER\\" + keyPath + L"\"";
        while (!stop.stop_requested()) {
            RunHidden(L"reg.exe delete " + full + L" /f");
            RunHidden(L"reg.exe add " + full + L" /v s0 /d \"s0|process|\" /f");
            ++recreated;
        }
    });

    // At least 200 listings, and for as long as the key has not been deleted and made
    // again three times: however fast the machine, the listings meet both changes.
    unsigned seen = 0;
    for (int listing = 0; (listing < 200 || recreated < 3) && !HasFailure(); ++listing) {
        while (changes.load() == seen) std::this_thread::yield();
        seen = changes.load();
        const std::int32_t last = Module1::ReadRegistryValues(scratch.get(), L"RecentFiles");
        for (std::int32_t i = 0; i <= last; ++i) {
            const std::wstring& line = Module1::RegistryValueLines[static_cast<size_t>(i)];
            EXPECT_TRUE(LineIsWhole(line)) << ::testing::PrintToString(line.substr(0, 80));
        }
    }
}

}  // namespace
