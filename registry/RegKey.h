#pragma once

#include <windows.h>

#include <utility>

#include "registry/RegistryApi.h"

namespace Module1 {

// Owns one opened registry key. Close() reports the status for callers that care;
// the destructor closes whatever is still open and ignores the status.
class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegKey() { Close(); }

    HKEY get() const { return key_; }
    HKEY* put() {
        Close();
        return &key_;
    }
    LSTATUS Close() {
        if (key_ == nullptr) return ERROR_SUCCESS;
        return Registry().CloseKey(std::exchange(key_, nullptr));
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace Module1
