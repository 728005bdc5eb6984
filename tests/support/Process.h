#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A copy of quillrake.exe started by a test; killed if the test leaves it running.
class ProgramCopy {
public:
    // Starts it (or `program`, another build's copy or a test program, with
    // `arguments`); with a show command as a shortcut's "Run" setting gives one, and a
    // position for its window as a launcher may give one. It writes to this process's
    // output.
    explicit ProgramCopy(int showCommand = -1, const std::wstring& program = {},
                         const std::wstring& arguments = {}, std::optional<POINT> position = {});
    ~ProgramCopy();
    ProgramCopy(ProgramCopy&& other) noexcept;
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;
    ProgramCopy& operator=(ProgramCopy&&) = delete;

    DWORD id() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    bool started() const { return process_.hProcess != nullptr; }
    // Waits for the process to end; true when it did within the time.
    bool WaitForExit(DWORD milliseconds) const;
    DWORD ExitCode() const;

private:
    PROCESS_INFORMATION process_{};
};

// Runs a command line without a window and waits (up to 30 s) for it to end; false
// when it could not be started or did not end in time.
bool RunHidden(std::wstring commandLine);

// The path of quillrake.exe, which is built beside the test programs, and of the
// test program that is running.
std::wstring ProgramPath();
std::wstring TestProgramPath();

// Runs one disabled test of the running test program in a child process whose
// environment has the variables given set (a null value: removed), and returns its
// exit code; STILL_ACTIVE when it did not end within 25 s (so that a test may wait for
// two children inside the test bench's hang limit).
DWORD ExitCodeOfChildTest(const std::wstring& test,
                          std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> environment = {});

// Points this test program's own import of `function` (by name) at `replacement`: how a
// child test process answers in Windows' place, or sees what the program asks of it.
void ReplaceImport(const char* function, const void* replacement);

// The items of a list box, read through messages (this process's or another's).
std::vector<std::wstring> ListItems(HWND list);

// Top-level windows of one process with the given class name.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className);
// Polls until such a window exists; null when none came in time.
HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD milliseconds);

}  // namespace testing_support
