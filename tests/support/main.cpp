#include <gtest/gtest.h>

#include <cstdio>

// Like gtest_main, but a run that selects no test fails instead of passing.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!GTEST_FLAG_GET(list_tests) && ::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "error: no test ran\n");
        return 1;
    }
    return result;
}
