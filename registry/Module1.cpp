#include "registry/Module1.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "registry/AnsiText.h"
#include "registry/RegKey.h"

namespace Module1 {

std::vector<std::wstring> RegistryValueLines;

RegistryApi& Registry() {
    static RegistryApi api;
    return api;
}

namespace {

// Value names of up to 79 ANSI bytes fit; a longer one ends the listing.
constexpr DWORD kNameBufferBytes = 80;
// How often a value that changed between its probe and its fetch is read again.
constexpr int kFetchAttempts = 4;

using NameBuffer = std::array<char, kNameBufferBytes>;

// What a probe (an enumeration without a data buffer) tells about one value.
struct ValueHeader {
    NameBuffer name{};
    DWORD type = REG_NONE;
    DWORD dataBytes = 0;
};

LSTATUS Probe(HKEY key, DWORD index, ValueHeader& header) {
    header = ValueHeader{};
    DWORD nameBytes = kNameBufferBytes;  // the narrow function counts bytes as characters
    return Registry().EnumValue(key, index, header.name.data(), &nameBytes, nullptr, &header.type,
                                nullptr, &header.dataBytes);
}

std::wstring LineStart(const NameBuffer& name) {
    return TrimAtNull(FromAnsi(std::string_view(name.data(), name.size()))) + L" = ";
}

bool HasDataText(DWORD type) { return type == REG_SZ || type == REG_BINARY || type == REG_DWORD; }

std::wstring DataText(DWORD type, std::string_view data) {
    if (type == REG_DWORD) {
        // Shorter data fills the low bytes; longer data shows its first four.
        unsigned char bytes[4] = {};
        std::memcpy(bytes, data.data(), std::min<size_t>(data.size(), sizeof bytes));
        const std::uint32_t number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                     (static_cast<std::uint32_t>(bytes[3]) << 24);
        return std::to_wstring(number);
    }
    // Strings and binary data alike are shown as ANSI text up to their first NUL.
    return TrimAtNull(FromAnsi(data));
}

// The display line of value `index`, whose probe gave `header`. The data is read
// together with name and type in one call, so a line never mixes two values; a
// value that changed since its probe is probed again. When the data cannot be read,
// the line shows no data text rather than a made-up one.
std::wstring ReadLine(HKEY key, DWORD index, ValueHeader header) {
    for (int attempt = 1;; ++attempt) {
        if (!HasDataText(header.type)) return LineStart(header.name);

        std::string data(std::max<DWORD>(header.dataBytes, header.type == REG_DWORD ? 4 : 0), '\0');
        ValueHeader fetched;
        // The full name buffer again: the count the probe left behind excludes the
        // terminator and would make this call fail with ERROR_MORE_DATA.
        DWORD nameBytes = kNameBufferBytes;
        DWORD dataBytes = static_cast<DWORD>(data.size());
        const LSTATUS status = Registry().EnumValue(
            key, index, fetched.name.data(), &nameBytes, nullptr, &fetched.type,
            reinterpret_cast<BYTE*>(data.data()), &dataBytes);

        const bool sameValue = fetched.name == header.name && fetched.type == header.type;
        if (status == ERROR_SUCCESS && sameValue) {
            data.resize(std::min<size_t>(dataBytes, data.size()));
            return LineStart(header.name) + DataText(header.type, data);
        }
        const bool changedMeanwhile = status == ERROR_MORE_DATA || status == ERROR_SUCCESS;
        ValueHeader again;
        if (!changedMeanwhile || attempt == kFetchAttempts || Probe(key, index, again) != ERROR_SUCCESS)
            return LineStart(header.name);
        header = again;
    }
}

}  // namespace

std::wstring TrimAtNull(std::wstring_view text) {
    return std::wstring(text.substr(0, text.find(L'\0')));
}

std::int32_t ReadRegistryValues(HKEY root, const std::wstring& path) {
    RegKey key;
    // Full access although the key is only read: a key this user could not clear is
    // reported as not found, so the clear button is never offered for it.
    if (Registry().OpenKey(root, ToAnsi(path).c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return -1;

    // Built aside and handed over whole: a listing that throws halfway (out of memory)
    // leaves the last one as it was.
    std::vector<std::wstring> lines;
    // Any failed probe ends the listing: the end of the values and errors alike.
    for (ValueHeader header;;) {
        const auto index = static_cast<DWORD>(lines.size());
        if (Probe(key.get(), index, header) != ERROR_SUCCESS) break;
        lines.push_back(ReadLine(key.get(), index, header));
    }
    key.Close();  // Status ignored: everything was read already.
    if (lines.empty()) return -1;
    RegistryValueLines = std::move(lines);
    return static_cast<std::int32_t>(RegistryValueLines.size()) - 1;
}

bool DeleteRegistryKey(HKEY root, const std::wstring& parentPath, const std::wstring& subkeyName) {
    RegKey parent;
    if (Registry().OpenKey(root, ToAnsi(parentPath).c_str(), 0, KEY_ALL_ACCESS, parent.put()) !=
        ERROR_SUCCESS)
        return false;
    const bool deleted =
        Registry().DeleteKey(parent.get(), ToAnsi(subkeyName).c_str()) == ERROR_SUCCESS;
    // A parent that does not close cleanly leaves the outcome uncertain: report failure.
    const bool closed = parent.Close() == ERROR_SUCCESS;
    return deleted && closed;
}

}  // namespace Module1
