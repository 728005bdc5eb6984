// Measures Quillrake against the platform's own limits, each comparison in one run.
//   quillrake_bench listing BUILD   listing cost per value against one RegEnumValueW walk
//   quillrake_bench fill BUILD      filling the list box with 10,000 and 100,000 lines
//   quillrake_bench startup BUILD   quillrake.exe until its list shows, against the floor
//                                   program (the same window without the registry) and reg query
//   quillrake_bench phases BUILD    the same start-up phase by phase (quillrake_phases.exe),
//                                   until the window has first painted
//   quillrake_bench close-when-shown ITEMS   closes a running window once it shows ITEMS
//                                   lines (-1: any, once it has logged)
// Each prints Markdown table rows that start with BUILD (bench/run.sh writes the headers)
// and "growth:" lines; every figure is a median of repeated runs.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <cwchar>
#include <vector>

#include "registry/Module1.h"
#include "resources/resource.h"
#include "window/Form1.h"
#include "window/LineList.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr wchar_t kBenchRoot[] = L"Software\\QuillrakeBench";

std::string g_build = "?";  // the build these rows are for

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double SecondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// HKCU\Software\QuillrakeBench\<count>: values of mixed types, made once per prefix.
std::wstring MixedKey(int count) {
    const std::wstring path = std::wstring(kBenchRoot) + L"\\" + std::to_wstring(count);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    for (int i = static_cast<int>(values); i < count; ++i) {
        const std::wstring name = std::to_wstring(i);
        switch (i % 4) {
        case 0: {
            const std::wstring text = L"C:\\Projects\\プロジェクト" + name + L"\\Project" + name + L".vbp";
            RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * 2));
            break;
        }
        case 1: {
            const DWORD number = static_cast<DWORD>(i) * 2654435761u;
            RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
            break;
        }
        case 2: {
            const char bytes[] = "binary project data";
            RegSetValueExW(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes), sizeof bytes);
            break;
        }
        default: {
            const wchar_t text[] = L"%USERPROFILE%\\x.vbp";
            RegSetValueExW(key, name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        }
        }
    }
    RegCloseKey(key);
    return path;
}

// The least any listing can do: one walk with buffers big enough for every value.
size_t BaselineWalk(const std::wstring& path) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    static std::vector<wchar_t> name(16384);
    static std::vector<BYTE> data(1 << 16);
    size_t count = 0;
    for (DWORD index = 0;; ++index, ++count) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(), &dataBytes) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return count;
}

// Each measurement returns the program's exit status: 1 when it could not measure.
int Listing() {
    double tenThousand = 0;  // seconds for 10,000 values, to show how the cost grows
    for (int count : {4, 100, 10000, 100000}) {
        const std::wstring path = MixedKey(count);
        if (Module1::ReadRegistryValues(HKEY_CURRENT_USER, path) != count - 1) {
            std::fprintf(stderr, "the key of %d values does not list them all\n", count);
            return 1;
        }
        const int repeats = count <= 100 ? 201 : count <= 10000 ? 11 : 5;
        const int inner = count <= 100 ? 20 : 1;  // small keys: several listings a sample
        std::vector<double> ours, floor;
        for (int r = 0; r < repeats; ++r) {
            ours.push_back(SecondsOf([&] {
                for (int i = 0; i < inner; ++i) Module1::ReadRegistryValues(HKEY_CURRENT_USER, path);
            }) / inner);
            floor.push_back(SecondsOf([&] {
                for (int i = 0; i < inner; ++i) BaselineWalk(path);
            }) / inner);
        }
        const double perValue = Median(ours) / count * 1e6;
        const double floorPerValue = Median(floor) / count * 1e6;
        std::printf("| %s | %d | %d | %.2f µs | %.2f µs | %.2f × |\n", g_build.c_str(), count, repeats,
                    perValue, floorPerValue, perValue / floorPerValue);
        std::fflush(stdout);
        if (count == 10000) tenThousand = Median(ours);
        if (count == 100000)
            std::printf("growth: %s: 100,000 values take %.1f × the time of 10,000.\n", g_build.c_str(),
                        Median(ours) / tenThousand);
    }
    return 0;
}

int Fill() {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400,
                                        nullptr, nullptr, nullptr, nullptr);
    const HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                      WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL,
                                      7, 72, 297, 148, parent, nullptr, nullptr, nullptr);
    const auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    double tenThousand = 0;
    for (int count : {10000, 100000}) {
        const std::int32_t last = Module1::ReadRegistryValues(HKEY_CURRENT_USER, MixedKey(count));
        if (last != count - 1) {
            std::fprintf(stderr, "the key of %d values does not list them all\n", count);
            return 1;
        }
        const size_t lines = static_cast<size_t>(last) + 1;
        const int repeats = count <= 10000 ? 15 : 9;
        std::vector<double> samples;
        for (int r = 0; r < repeats; ++r)
            samples.push_back(SecondsOf([&] {
                LineList::Fill(list, font, 96, Module1::RegistryValueLines, lines);
            }));
        std::printf("| %s | %zu | %d | %.1f ms | %.2f µs |\n", g_build.c_str(), lines, repeats,
                    Median(samples) * 1e3, Median(samples) / static_cast<double>(lines) * 1e6);
        std::fflush(stdout);
        if (count == 10000) tenThousand = Median(samples);
        else std::printf("growth: %s: 100,000 lines take %.1f × the time of 10,000.\n", g_build.c_str(),
                         Median(samples) / tenThousand);
    }
    DestroyWindow(parent);
    return 0;
}

std::wstring BesideMe(const wchar_t* file) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1) + file;
}

struct Started {
    PROCESS_INFORMATION process{};
    ~Started() {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
};

bool Start(std::wstring commandLine, Started& started) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &started.process) != 0;
}

// The Form1 window of any running copy (or of `processId` only), once its list
// holds `items` lines (any number when -1) and its log has its first line; null
// until then.
HWND ShownWindow(DWORD processId, LRESULT items) {
    for (HWND window = FindWindowExW(nullptr, nullptr, Form1::kClassName, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, Form1::kClassName, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((processId == 0 || owner == processId) && IsWindowVisible(window) &&
            (items < 0 || SendMessageW(GetDlgItem(window, IDC_LIST1), LB_GETCOUNT, 0, 0) == items) &&
            SendMessageW(GetDlgItem(window, IDC_TEXT1), WM_GETTEXTLENGTH, 0, 0) > 0)
            return window;
    }
    return nullptr;
}

void SeedRecentFiles() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, Module1::RecentFilesPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const wchar_t* paths[] = {L"C:\\プロジェクト\\売上集計\\売上集計.vbp", L"C:\\Projects\\Inventory\\Inventory.vbp",
                              L"D:\\業務\\顧客管理\\顧客管理.vbp", L"C:\\Projects\\Calc\\Calc.vbp"};
    for (int i = 0; i < 4; ++i) {
        const std::wstring name = std::to_wstring(i + 1);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(paths[i]),
                       static_cast<DWORD>((wcslen(paths[i]) + 1) * 2));
    }
    RegCloseKey(key);
}

// Seconds from process creation until its window shows `items` lines; -1 on failure.
double SecondsUntilShown(const std::wstring& program, LRESULT items) {
    Started copy;
    const auto start = Clock::now();
    if (!Start(L"\"" + program + L"\"", copy)) return -1;
    HWND window = nullptr;
    while ((window = ShownWindow(copy.process.dwProcessId, items)) == nullptr) {
        if (WaitForSingleObject(copy.process.hProcess, 0) == WAIT_OBJECT_0) return -1;
        Sleep(1);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(copy.process.hProcess, 20000);
    return seconds;
}

int Startup() {
    SeedRecentFiles();
    const std::wstring query = L"reg.exe query \"HKEY_CURRENT_USER\\" + Module1::RecentFilesPath() + L"\"";
    std::vector<double> ours, floor, reg;
    constexpr int kWarmUps = 2;  // the first starts fill the file cache for all
    // A process that has ended may still be unmapping under Wine: let it finish before
    // the next start, so that no side pays for another.
    constexpr DWORD kSettle = 300;
    for (int r = 0; r < kWarmUps + 21; ++r) {
        ours.push_back(SecondsUntilShown(BesideMe(L"quillrake.exe"), 4));
        Sleep(kSettle);
        floor.push_back(SecondsUntilShown(BesideMe(L"quillrake_floor.exe"), -1));
        Sleep(kSettle);
        Started regQuery;
        bool queried = false;
        reg.push_back(SecondsOf([&] {
            queried = Start(query, regQuery) &&
                      WaitForSingleObject(regQuery.process.hProcess, 20000) == WAIT_OBJECT_0;
        }));
        Sleep(kSettle);
        const char* failed = ours.back() < 0    ? "quillrake.exe did not show its window"
                             : floor.back() < 0 ? "quillrake_floor.exe did not show its window"
                             : !queried         ? "reg query did not run to its end"
                                                : nullptr;
        if (failed != nullptr) {
            std::fprintf(stderr, "%s\n", failed);
            return 1;
        }
    }
    for (auto* samples : {&ours, &floor, &reg}) samples->erase(samples->begin(), samples->begin() + kWarmUps);
    std::printf("| %s | %zu | %.0f ms | %.0f ms | %.2f × | %.0f ms | %.2f × |\n", g_build.c_str(), ours.size(),
                Median(ours) * 1e3, Median(floor) * 1e3, Median(ours) / Median(floor), Median(reg) * 1e3,
                Median(ours) / Median(reg));
    return 0;
}

// Each phase of the start, from quillrake_phases.exe's marks: when it ended, counted
// from process creation, and how long it took; medians of 21 runs.
int Phases() {
    SeedRecentFiles();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    wchar_t folder[MAX_PATH];
    const std::wstring marksFile = std::wstring(folder, GetTempPathW(MAX_PATH, folder)) + L"quillrake-phases.txt";
    std::vector<std::string> phases;  // in the order they end
    std::vector<std::vector<double>> ends, lengths;
    constexpr int kWarmUps = 2;
    for (int r = 0; r < kWarmUps + 21; ++r) {
        DeleteFileW(marksFile.c_str());
        Started copy;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        if (!Start(L"\"" + BesideMe(L"quillrake_phases.exe") + L"\" " + std::to_wstring(start.QuadPart) + L" \"" +
                       marksFile + L"\"",
                   copy) ||
            WaitForSingleObject(copy.process.hProcess, 20000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "quillrake_phases.exe did not paint its window and end\n");
            return 1;
        }
        std::FILE* in = _wfopen(marksFile.c_str(), L"r");
        char name[64];
        long long ticks = 0;
        std::vector<std::pair<std::string, double>> marks;
        while (in != nullptr && std::fscanf(in, "%lld %63[^\n]\n", &ticks, name) == 2)
            marks.emplace_back(name, ticks * 1e3 / frequency.QuadPart);
        if (in != nullptr) std::fclose(in);
        if (marks.empty() || marks.back().first != "first paint" || (!phases.empty() && marks.size() != phases.size())) {
            std::fprintf(stderr, "quillrake_phases.exe marked its phases otherwise (%zu marks)\n", marks.size());
            return 1;
        }
        if (phases.empty()) {
            for (const auto& mark : marks) phases.push_back(mark.first);
            ends.resize(phases.size());
            lengths.resize(phases.size());
        }
        for (size_t i = 0; r >= kWarmUps && i < marks.size(); ++i) {
            ends[i].push_back(marks[i].second);
            lengths[i].push_back(marks[i].second - (i == 0 ? 0 : marks[i - 1].second));
        }
        Sleep(300);  // as in startup: the ended process may still be unmapping
    }
    for (size_t i = 0; i < phases.size(); ++i)
        std::printf("| %s | %s | %.1f ms | %.1f ms |\n", g_build.c_str(), phases[i].c_str(), Median(ends[i]),
                    Median(lengths[i]));
    return 0;
}

int CloseWhenShown(LRESULT items) {
    SeedRecentFiles();
    for (int i = 0; i < 20000; ++i) {
        if (const HWND window = ShownWindow(0, items)) {
            Sleep(200);
            PostMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        }
        Sleep(1);
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc > 1 ? argv[1] : L"";
    if (argc > 2) g_build = std::string(argv[2], argv[2] + wcslen(argv[2]));  // ASCII
    if (what == L"listing") return Listing();
    if (what == L"fill") return Fill();
    if (what == L"startup") return Startup();
    if (what == L"phases") return Phases();
    if (what == L"close-when-shown" && argc > 2) return CloseWhenShown(std::stoi(argv[2]));
    if (what == L"seed") SeedRecentFiles();
    else {
        std::fprintf(stderr, "usage: quillrake_bench listing|fill|startup|phases BUILD, close-when-shown ITEMS, seed\n");
        return 2;
    }
    return 0;
}
