#include "support/Process.h"

#include <cstring>
#include <utility>

namespace testing_support {

std::wstring TestProgramPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

std::wstring ProgramPath() {
    const std::wstring self = TestProgramPath();
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"quillrake.exe";
}

DWORD ExitCodeOfChildTest(const std::wstring& test,
                          std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> environment) {
    for (const auto& [name, value] : environment) SetEnvironmentVariableW(name, value);
    const ProgramCopy child(-1, TestProgramPath(), L"--gtest_also_run_disabled_tests --gtest_filter=" + test);
    return child.WaitForExit(25000) ? child.ExitCode() : STILL_ACTIVE;
}

void ReplaceImport(const char* function, const void* replacement) {
    const auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name != 0; ++dll) {
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                std::strcmp(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name,
                            function) != 0)
                continue;
            DWORD was = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &was);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, was, &was);
        }
    }
}

bool RunHidden(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

ProgramCopy::ProgramCopy(int showCommand, const std::wstring& program, const std::wstring& arguments,
                         std::optional<POINT> position) {
    std::wstring commandLine = L"\"" + (program.empty() ? ProgramPath() : program) + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
    }
    if (position) {
        startup.dwFlags |= STARTF_USEPOSITION;
        startup.dwX = static_cast<DWORD>(position->x);
        startup.dwY = static_cast<DWORD>(position->y);
    }
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process_))
        process_ = {};
}

ProgramCopy::ProgramCopy(ProgramCopy&& other) noexcept
    : process_(std::exchange(other.process_, PROCESS_INFORMATION{})) {}

ProgramCopy::~ProgramCopy() {
    if (process_.hProcess == nullptr) return;
    if (!WaitForExit(0)) {
        TerminateProcess(process_.hProcess, 1);
        WaitForExit(5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool ProgramCopy::WaitForExit(DWORD milliseconds) const {
    return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
}

DWORD ProgramCopy::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    if (owner == search.processId && std::wstring(name) == search.className) search.found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        items.push_back(item);
    }
    return items;
}

std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className) {
    WindowSearch search{processId, className, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        for (HWND window : WindowsOf(processId, className))
            if (IsWindowVisible(window)) return window;
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

}  // namespace testing_support
