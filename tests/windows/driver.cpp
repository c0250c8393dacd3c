#include "tests/windows/driver.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "app/app.h"
#include "app/resources/resource.h"

namespace velmora::testing {
namespace {

std::mutex shellCallsLock;
std::vector<ShellCall> shellCallsMade;

std::optional<std::wstring> optionalText(LPCWSTR text) {
    return text != nullptr ? std::optional<std::wstring>(text) : std::nullopt;
}

// The program's ShellExecuteW during the tests: it records the call and
// answers as the shell does when it has opened the page.
HINSTANCE WINAPI recordShellCall(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                 INT showCommand) {
    std::lock_guard lock(shellCallsLock);
    shellCallsMade.push_back({owner, optionalText(verb), optionalText(file), optionalText(parameters),
                              optionalText(directory), showCommand});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));  // above 32: success
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() > end) {
            return false;
        }
        Sleep(5);
    }
}

std::wstring windowText(HWND window) {
    // WM_GETTEXT is answered by the window's own thread, so a window of the
    // program's thread reports its current text.
    const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = static_cast<int>(
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring controlText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<std::wstring> staticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(className(child).c_str(), L"Static") == 0) {
            std::wstring text = windowText(child);
            if (!text.empty()) {
                texts.push_back(text);
            }
        }
    }
    return texts;
}

std::wstring menuText(HWND window, UINT command) {
    wchar_t text[128] = {};
    GetMenuStringW(GetMenu(window), command, text, 128, MF_BYCOMMAND);
    return text;
}

bool menuGrayed(HWND window, UINT command) {
    const UINT state = GetMenuState(GetMenu(window), command, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_GRAYED) != 0;
}

std::vector<std::wstring> topLevelMenuTexts(HWND window) {
    std::vector<std::wstring> texts;
    HMENU menu = GetMenu(window);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

void pressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool dismiss(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    // A dialog that has ended is hidden at once and destroyed soon after.
    return waitUntil([&] { return !IsWindowVisible(dialog); });
}

void chooseMenuCommand(HWND window, UINT command) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void dropFiles(HWND window, const std::vector<std::wstring>& paths) {
    // DROPFILES, then the wide paths one after another, each with its NUL,
    // and one more NUL at the end.
    std::size_t characters = 1;
    for (const auto& path : paths) {
        characters += path.size() + 1;
    }
    const std::size_t bytes = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const auto& path : paths) {
        std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        names += path.size() + 1;
    }
    *names = L'\0';
    GlobalUnlock(memory);
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

std::vector<std::wstring> listLines(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::vector<std::wstring> lines;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
        line.resize(static_cast<std::size_t>(length));
        lines.push_back(line);
    }
    return lines;
}

int listSelection(HWND dialog, int id) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), LB_GETCURSEL, 0, 0));
}

void clickWithMouse(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    clickWithMouseAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

namespace {

// A move to `point` and `clicks` left clicks there, sent as one batch. Every
// press and release carries the point as well: Wine moves the X pointer
// after each move and may later report that move again, and a press that
// took the cursor where it then was could land on another line.
void sendClicks(POINT point, int clicks) {
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
    std::vector<INPUT> inputs(static_cast<std::size_t>(1 + 2 * clicks));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        INPUT& input = inputs[i];
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(point.x, 65535, width > 0 ? width : 1);
        input.mi.dy = MulDiv(point.y, 65535, height > 0 ? height : 1);
        const DWORD action = i == 0 ? 0 : i % 2 == 1 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        input.mi.dwFlags = action | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

POINT listLineCentre(HWND dialog, int id, int line) {
    HWND list = GetDlgItem(dialog, id);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
    POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(list, &centre);
    return centre;
}

void clickWithMouseAt(POINT point) {
    sendClicks(point, 1);
}

void doubleClickWithMouseAt(POINT point) {
    sendClicks(point, 2);
}

ProgramUnderTest::ProgramUnderTest() {
    {
        std::lock_guard lock(shellCallsLock);
        shellCallsMade.clear();
    }
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, &threadId_);
}

ProgramUnderTest::~ProgramUnderTest() {
    if (thread_ == nullptr) {
        return;
    }
    if (!finished(0)) {
        exitProgram();
    }
    if (!finished(5000)) {
        // A test failed with a window stuck open; end the thread so that the
        // next test starts clean.
        TerminateThread(thread_, 1);
    }
    CloseHandle(thread_);
}

DWORD WINAPI ProgramUnderTest::threadMain(void* self) {
    auto* program = static_cast<ProgramUnderTest*>(self);
    app::Session session;
    session.instance = GetModuleHandleW(nullptr);
    session.shellExecute = recordShellCall;
    program->result_ = app::runStartScreen(session);
    return 0;
}

std::vector<ShellCall> ProgramUnderTest::shellCalls() const {
    std::lock_guard lock(shellCallsLock);
    return shellCallsMade;
}

std::vector<HWND> ProgramUnderTest::visibleWindows() const {
    std::vector<HWND> windows;
    EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM found) -> BOOL {
            if (IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND ProgramUnderTest::findDialog(const std::wstring& title, int controlId) const {
    for (HWND window : visibleWindows()) {
        if (className(window) == L"#32770" && windowText(window) == title &&
            (controlId == 0 || GetDlgItem(window, controlId) != nullptr)) {
            return window;
        }
    }
    return nullptr;
}

HWND ProgramUnderTest::waitForDialog(const std::wstring& title, int controlId, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(title, controlId)) != nullptr; }, timeoutMs);
    return found;
}

HWND ProgramUnderTest::waitForMessageBox(const std::wstring& text, DWORD timeoutMs) {
    HWND found = nullptr;
    const auto shows = [&](HWND window) {
        const auto texts = staticTexts(window);
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    };
    waitUntil(
        [&] {
            const auto windows = visibleWindows();
            const auto window = std::find_if(windows.begin(), windows.end(), shows);
            found = window != windows.end() ? *window : nullptr;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND ProgramUnderTest::waitForStartScreen() {
    return waitForDialog(L"Velmoraver 1.00", IDC_ACCEPT_TERMS);
}

HWND ProgramUnderTest::openMainWindow() {
    HWND start = waitForStartScreen();
    if (start == nullptr) {
        return nullptr;
    }
    pressButton(start, IDC_ACCEPT_TERMS);
    return waitForDialog(L"Velmoraver 1.00", IDC_SOURCE_PATH);
}

bool ProgramUnderTest::exitProgram() {
    const ULONGLONG end = GetTickCount64() + defaultTimeoutMs;
    while (!finished(0) && GetTickCount64() < end) {
        if (HWND question = findDialog(L"確認", 0); question != nullptr) {
            // The exit question has OK and Cancel; the overwrite question
            // is cancelled.
            if (GetDlgItem(question, IDC_OVERWRITE) != nullptr) {
                pressButton(question, IDCANCEL);
            } else {
                PostMessageW(question, WM_COMMAND, IDOK, 0);
            }
        } else if (HWND main = findDialog(L"Velmoraver 1.00", IDC_SOURCE_PATH); main != nullptr) {
            chooseMenuCommand(main, IDM_EXIT);
        } else if (HWND start = findDialog(L"Velmoraver 1.00", IDC_ACCEPT_TERMS); start != nullptr) {
            chooseMenuCommand(start, IDM_EXIT);
        } else {
            // Some other window (a message box or a file chooser): close it.
            for (HWND window : visibleWindows()) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
        }
        finished(200);
    }
    return finished(0);
}

bool ProgramUnderTest::finished(DWORD timeoutMs) {
    return thread_ == nullptr || WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

ProgramProcess::ProgramProcess(const std::filesystem::path& program) {
    std::wstring command = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
        process_ = {};
    }
}

ProgramProcess::~ProgramProcess() {
    if (!started()) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, defaultTimeoutMs);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

HWND ProgramProcess::waitForWindow(const std::wstring& title, int controlId) const {
    struct Search {
        DWORD process;
        const std::wstring& title;
        int controlId;
        HWND found;
    } search{process_.dwProcessId, title, controlId, nullptr};
    waitUntil([&] {
        EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(context);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == search.process && IsWindowVisible(window) && windowText(window) == search.title &&
                    (search.controlId == 0 || GetDlgItem(window, search.controlId) != nullptr)) {
                    search.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

std::optional<DWORD> ProgramProcess::exitCode(DWORD timeoutMs) const {
    if (!started() || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::filesystem::path TemporaryFolder::write(const std::wstring& name, const std::string& bytes) const {
    const auto file = path() / name;
    test::writeFile(file, bytes);
    return file;
}

ImportHook::ImportHook(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return;
    }
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         entry->Name != 0 && slot_ == nullptr; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0 || entry->OriginalFirstThunk == 0) {
            continue;
        }
        // The names stay in the lookup table; the loader has put the
        // addresses into the parallel address table.
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++address) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                slot_ = reinterpret_cast<void**>(&address->u1.Function);
                break;
            }
        }
    }
    if (slot_ == nullptr) {
        return;
    }
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
    original_ = *slot_;
    *slot_ = replacement;
    VirtualProtect(slot_, sizeof(void*), protection, &protection);
}

ImportHook::~ImportHook() {
    if (slot_ == nullptr) {
        return;
    }
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
    *slot_ = original_;
    VirtualProtect(slot_, sizeof(void*), protection, &protection);
}

namespace {

// The state of the one ReadGate that may exist at a time. The events live as
// long as the test program, so that a thread leaving the gate late never
// waits on a closed handle.
struct GateState {
    std::atomic<DWORD> thread{0};
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    decltype(&ReadFile) original = nullptr;
};

GateState& gateState() {
    static GateState state;
    return state;
}

}  // namespace

void* ReadGate::arm(DWORD thread) {
    GateState& state = gateState();
    ResetEvent(state.held);
    ResetEvent(state.released);
    state.thread = thread;
    return reinterpret_cast<void*>(&ReadGate::readFile);
}

ReadGate::ReadGate(DWORD thread) : hook_("kernel32.dll", "ReadFile", arm(thread)) {
    gateState().original = reinterpret_cast<decltype(&ReadFile)>(hook_.original());
}

ReadGate::~ReadGate() {
    gateState().thread = 0;
    release();
}

BOOL WINAPI ReadGate::readFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) {
    GateState& state = gateState();
    DWORD thread = GetCurrentThreadId();
    if (state.thread.compare_exchange_strong(thread, 0)) {
        SetEvent(state.held);
        WaitForSingleObject(state.released, INFINITE);
    }
    auto original = state.original != nullptr ? state.original : &ReadFile;
    return original(file, buffer, count, done, overlapped);
}

bool ReadGate::waitUntilHeld(DWORD timeoutMs) {
    return WaitForSingleObject(gateState().held, timeoutMs) == WAIT_OBJECT_0;
}

void ReadGate::release() {
    SetEvent(gateState().released);
}

ChooserRecorder::ChooserRecorder() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    open_ = reinterpret_cast<decltype(&GetOpenFileNameW)>(openHook_.original());
    save_ = reinterpret_cast<decltype(&GetSaveFileNameW)>(saveHook_.original());
}

std::vector<ChooserCall> ChooserRecorder::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

namespace {

ChooserCall describeChooser(bool save, const OPENFILENAMEW& chooser) {
    std::wstring filter;
    for (const wchar_t* at = chooser.lpstrFilter; at != nullptr && *at != L'\0'; at += wcslen(at) + 1) {
        filter += at;
        filter += L'|';
    }
    const auto text = [](const wchar_t* value) { return std::wstring(value != nullptr ? value : L"(null)"); };
    return {save,
            chooser.hwndOwner,
            filter,
            text(chooser.lpstrTitle),
            text(chooser.lpstrDefExt),
            chooser.Flags,
            text(chooser.lpstrInitialDir),
            chooser.nMaxFile,
            text(chooser.lpstrFile),
            chooser.nMaxFileTitle,
            text(chooser.lpstrFileTitle)};
}

}  // namespace

BOOL WINAPI ChooserRecorder::open(LPOPENFILENAMEW chooser) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(describeChooser(false, *chooser));
    }
    return open_(chooser);
}

BOOL WINAPI ChooserRecorder::save(LPOPENFILENAMEW chooser) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(describeChooser(true, *chooser));
    }
    return save_(chooser);
}

void answerChooser(HWND chooser, const std::wstring& path) {
    // The file name box is a combo box (cmb13) or an edit control (edt1),
    // depending on the chooser's template.
    for (int id : {0x47c, 0x480}) {
        if (HWND box = GetDlgItem(chooser, id); box != nullptr) {
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            break;
        }
    }
    pressButton(chooser, IDOK);
}

std::wstring firstChooserFilter(HWND chooser) {
    HWND filters = GetDlgItem(chooser, 0x470 /* cmb1 */);
    wchar_t text[128] = {};
    if (SendMessageW(filters, CB_GETLBTEXTLEN, 0, 0) < 128) {
        SendMessageW(filters, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    return text;
}

std::filesystem::path programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path();
}

std::filesystem::path sourceFolder() {
    return (programFolder() / VELMORA_SOURCE_FROM_TESTS).lexically_normal();
}

namespace {

// Starts `command` with no window and the three standard handles given, which
// it inherits.
bool startWithoutWindow(std::wstring command, HANDLE input, HANDLE output, HANDLE error, PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

}  // namespace

std::optional<ConsoleRun> runConsoleConverter(const std::vector<std::wstring>& arguments,
                                              const std::filesystem::path& scratch) {
    const auto program = (programFolder() / L"../../velmora-convert.exe").lexically_normal();
    std::wstring command = L"\"" + program.wstring() + L"\"";
    for (const auto& argument : arguments) {
        command += L" \"" + argument + L"\"";
    }
    const auto outputFile = scratch / L"console.out";
    const auto errorFile = scratch / L"console.err";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const auto create = [&](const std::filesystem::path& path, DWORD access, DWORD disposition) {
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE input = create(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = create(outputFile, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = create(errorFile, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const bool started = startWithoutWindow(command, input, output, error, process);
    for (HANDLE handle : {input, output, error}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    if (!started) {
        return std::nullopt;
    }
    std::optional<ConsoleRun> run;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        run.emplace();
        GetExitCodeProcess(process.hProcess, &run->exitCode);
        run->output = readFile(outputFile);
        run->error = readFile(errorFile);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

FileHolder::FileHolder(const std::filesystem::path& file, Sharing sharing) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE output = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &input_, &inherit, 0) || !CreatePipe(&output, &childOutput, &inherit, 0)) {
        return;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = L"\"" + (programFolder() / L"velmora_file_holder.exe").wstring() + L"\" \"" +
                           file.wstring() + L"\" " + (sharing == Sharing::none ? L"none" : L"read");
    const bool started = startWithoutWindow(command, childInput, childOutput, childOutput, process_);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (started) {
        // The holder says "holding" once it has the file open; its output
        // ends without that word when it could not open it.
        std::string said;
        char byte = 0;
        DWORD got = 0;
        while (said.size() < 64 && ReadFile(output, &byte, 1, &got, nullptr) && got == 1 && byte != '\n') {
            said.push_back(byte);
        }
        holding_ = said.rfind("holding", 0) == 0;
    }
    CloseHandle(output);
}

FileHolder::~FileHolder() {
    if (input_ != nullptr) {
        CloseHandle(input_);
    }
    if (process_.hProcess != nullptr) {
        WaitForSingleObject(process_.hProcess, defaultTimeoutMs);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

}  // namespace velmora::testing
