// Drives the real Velmora dialogs from the test thread: the program's start
// screen runs on a thread of its own, exactly as the entry point runs it, and
// the test finds its windows, reads their controls and sends them commands
// the way a user's clicks and drops would arrive.
#pragma once

#include "platform/windows_api.h"

#include <commdlg.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace velmora::testing {

// How long a window is waited for before a test gives up.
constexpr DWORD defaultTimeoutMs = 10000;

// Polls `condition` until it holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = defaultTimeoutMs);

std::wstring windowText(HWND window);
std::wstring controlText(HWND dialog, int id);
std::wstring className(HWND window);

// The texts of all static controls inside a dialog (a message box's text
// among them).
std::vector<std::wstring> staticTexts(HWND dialog);

// Text of a menu item by command, and whether it is grayed.
std::wstring menuText(HWND window, UINT command);
bool menuGrayed(HWND window, UINT command);
std::vector<std::wstring> topLevelMenuTexts(HWND window);

// A button press as the dialog receives it; posted, so that a command that
// opens a modal window does not block the test.
void pressButton(HWND dialog, int id);
// Answers a dialog or message box with its button `id` and waits until it
// has gone; true when it did.
bool dismiss(HWND dialog, int id);
// A menu command as the dialog receives it.
void chooseMenuCommand(HWND window, UINT command);

// Posts WM_DROPFILES with the given paths, as the shell does for a drop.
void dropFiles(HWND window, const std::vector<std::wstring>& paths);

// The list box's lines and selected index.
std::vector<std::wstring> listLines(HWND dialog, int id);
int listSelection(HWND dialog, int id);

// Left click with real mouse input at the centre of a control, so that the
// system routes it to whatever window accepts input there at that moment.
void clickWithMouse(HWND control);
// Left click with real mouse input at a point of the screen.
void clickWithMouseAt(POINT point);
// The centre of line `line` of the list box `id` of `dialog`, on the screen.
POINT listLineCentre(HWND dialog, int id, int line);
// Two left clicks at a point in one batch of input, which the system takes
// for a double-click.
void doubleClickWithMouseAt(POINT point);

// The base of the driver's objects that own a thread, a process, a patched
// import or another program's pipe: a copy would release it a second time.
// With their destructors declared they cannot be moved either, which the
// program's thread, holding a pointer to its ProgramUnderTest, relies on.
struct NonCopyable {
    NonCopyable() = default;
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;
};

// One call of the program's ShellExecuteW stand-in, with every argument.
struct ShellCall {
    HWND owner;
    std::optional<std::wstring> verb;
    std::optional<std::wstring> file;
    std::optional<std::wstring> parameters;
    std::optional<std::wstring> directory;
    INT showCommand;
};

// One run of the program's screens on a thread of its own. Web pages are
// not opened: the calls that would open them are recorded instead.
class ProgramUnderTest : NonCopyable {
public:
    ProgramUnderTest();
    ~ProgramUnderTest();

    // The visible dialog of the program whose title is `title` and that
    // holds a control `controlId` (0: any), or null after the timeout.
    HWND waitForDialog(const std::wstring& title, int controlId, DWORD timeoutMs = defaultTimeoutMs);
    // Like waitForDialog, without waiting.
    HWND findDialog(const std::wstring& title, int controlId) const;
    // Every visible top-level window of the program.
    std::vector<HWND> visibleWindows() const;
    // The visible window of the program that shows `text` in one of its
    // static controls (a message box), or null after the timeout.
    HWND waitForMessageBox(const std::wstring& text, DWORD timeoutMs = defaultTimeoutMs);

    HWND waitForStartScreen();
    // Presses "利用規約に同意の上利用する" and waits for the main window.
    HWND openMainWindow();

    // Answers the exit question with OK wherever the program is and waits
    // for the screens to end; true when they did.
    bool exitProgram();
    // True when the start screen's dialog has returned.
    bool finished(DWORD timeoutMs = defaultTimeoutMs);
    INT_PTR result() const { return result_; }
    DWORD threadId() const { return threadId_; }
    // The web pages the program asked to open so far.
    std::vector<ShellCall> shellCalls() const;

private:
    static DWORD WINAPI threadMain(void* self);

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    INT_PTR result_ = -1;
};

// Velmora.exe, or another program, run as a process of its own; ended by
// force at the end of the object if it still runs then.
class ProgramProcess : NonCopyable {
public:
    explicit ProgramProcess(const std::filesystem::path& program);
    ~ProgramProcess();
    bool started() const { return process_.hProcess != nullptr; }
    // The visible top-level window of the process whose title is `title` and
    // that holds a control `controlId` (0: any), or null after the timeout.
    HWND waitForWindow(const std::wstring& title, int controlId) const;
    // The exit code once the process has ended; nothing when it still runs
    // after the timeout.
    std::optional<DWORD> exitCode(DWORD timeoutMs = defaultTimeoutMs) const;

private:
    PROCESS_INFORMATION process_{};
};

// A fresh folder under the system's temporary folder, removed at the end,
// with a way to put files into it.
class TemporaryFolder : public test::TempDir {
public:
    std::filesystem::path write(const std::wstring& name, const std::string& bytes) const;
};

using test::readFile;

// Replaces this program's import of one function of a system DLL with another
// function of the same signature while the object lives. The program's own
// code (the screens and the conversion run are linked into the test program)
// then calls the replacement.
class ImportHook : NonCopyable {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    // The function the import held before; null when it was not found.
    void* original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Holds the first ReadFile that a given thread makes after construction
// until release() (or the end of the object): a source file that is slow to
// deliver, for as long as the test wants.
class ReadGate : NonCopyable {
public:
    explicit ReadGate(DWORD thread);
    ~ReadGate();
    // True once the thread is waiting inside ReadFile.
    bool waitUntilHeld(DWORD timeoutMs = defaultTimeoutMs);
    void release();

private:
    // Arms the gate for `thread`; the replacement for ReadFile.
    static void* arm(DWORD thread);
    static BOOL WINAPI readFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
    ImportHook hook_;
};

// What the program asked a file chooser with, recorded on its way to the
// real chooser.
struct ChooserCall {
    bool save;
    HWND owner;
    std::wstring filter;  // NUL separators shown as "|", up to the closing double NUL
    std::wstring title;
    std::wstring defaultExtension;
    DWORD flags;
    std::wstring initialDirectory;
    DWORD fileSize;
    std::wstring file;
    DWORD fileTitleSize;
    std::wstring fileTitle;
};

// Records every GetOpenFileNameW and GetSaveFileNameW call of the program
// while the object lives; the choosers still open as usual.
class ChooserRecorder {
public:
    ChooserRecorder();
    std::vector<ChooserCall> calls() const;

private:
    static BOOL WINAPI open(LPOPENFILENAMEW chooser);
    static BOOL WINAPI save(LPOPENFILENAMEW chooser);

    static inline std::mutex mutex_;
    static inline std::vector<ChooserCall> calls_;
    static inline decltype(&GetOpenFileNameW) open_ = nullptr;
    static inline decltype(&GetSaveFileNameW) save_ = nullptr;
    ImportHook openHook_{"comdlg32.dll", "GetOpenFileNameW", reinterpret_cast<void*>(&ChooserRecorder::open)};
    ImportHook saveHook_{"comdlg32.dll", "GetSaveFileNameW", reinterpret_cast<void*>(&ChooserRecorder::save)};
};

// Types `path` into the file name box of an open or save chooser and
// confirms it.
void answerChooser(HWND chooser, const std::wstring& path);
// The first entry of a chooser's file-type list.
std::wstring firstChooserFilter(HWND chooser);

// Another program that keeps a file open, started from the test program's
// folder (velmora_file_holder.exe): with no sharing at all, or letting others
// read only, as a spreadsheet that has a CSV file open does.
enum class Sharing { none, readOnly };

class FileHolder : NonCopyable {
public:
    FileHolder(const std::filesystem::path& file, Sharing sharing);
    ~FileHolder();
    // True when the other program has the file open.
    bool holding() const { return holding_; }

private:
    PROCESS_INFORMATION process_{};
    HANDLE input_ = nullptr;  // closing it tells the holder to let go
    bool holding_ = false;
};

// The folder of the test program's executable.
std::filesystem::path programFolder();
// The project's source folder (its samples and test books).
std::filesystem::path sourceFolder();

// What one run of the console converter built beside the test program
// (velmora-convert.exe) printed, as bytes.
struct ConsoleRun {
    DWORD exitCode = 0;
    std::string output;
    std::string error;
};

// Runs velmora-convert.exe with `arguments` and its output and error streams
// in files of `scratch`; nothing when it could not be started or did not end.
std::optional<ConsoleRun> runConsoleConverter(const std::vector<std::wstring>& arguments,
                                              const std::filesystem::path& scratch);

}  // namespace velmora::testing
