#pragma once

namespace testing_support {

// Puts back a variable that a test replaced (a seam of the program), however the
// test ends.
template <typename T>
class Restorer {
public:
    explicit Restorer(T& variable) : variable_(variable), saved_(variable) {}
    Restorer(const Restorer&) = delete;
    Restorer& operator=(const Restorer&) = delete;
    ~Restorer() { variable_ = saved_; }

private:
    T& variable_;
    T saved_;
};

}  // namespace testing_support
