#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

// Like gtest_main, but a run that selects no test fails instead of passing.
int main(int argc, char** argv) {
    // The test bench names this process, and any test program it starts, if it hangs.
    if (const char* file = std::getenv("QUILLRAKE_PID_FILE")) {
        if (FILE* out = std::fopen(file, "ab")) {
            std::fprintf(out, "%08lx\n", GetCurrentProcessId());
            std::fclose(out);
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!GTEST_FLAG_GET(list_tests) && ::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "error: no test ran\n");
        return 1;
    }
    return result;
}
