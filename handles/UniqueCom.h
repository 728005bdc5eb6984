#pragma once

#include <objbase.h>

#include <utility>

// Owns one reference to a COM object.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { reset(); }

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For a function that hands out a reference; whatever was held goes first.
    Interface** put() {
        reset();
        return &object_;
    }
    void reset() {
        if (object_ != nullptr) std::exchange(object_, nullptr)->Release();
    }

private:
    Interface* object_ = nullptr;
};

// COM for this thread, in a single-threaded apartment, for as long as it lives; a
// failure to start it leaves nothing to undo.
class ComApartment {
public:
    ComApartment() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (started_) CoUninitialize();
    }
    explicit operator bool() const { return started_; }

private:
    bool started_;
};
