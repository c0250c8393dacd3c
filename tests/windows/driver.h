// Drives the real Velmora dialogs from the test thread: the program's start
// screen runs on a thread of its own, exactly as the entry point runs it, and
// the test finds its windows, reads their controls and sends them commands
// the way a user's clicks and drops would arrive.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
class ProgramUnderTest {
public:
    ProgramUnderTest();
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // The visible dialog of the program whose title is `title` and that
    // holds a control `controlId` (0: any), or null after the timeout.
    HWND waitForDialog(const std::wstring& title, int controlId, DWORD timeoutMs = defaultTimeoutMs);
    // Like waitForDialog, without waiting.
    HWND findDialog(const std::wstring& title, int controlId) const;
    // Every visible top-level window of the program.
    std::vector<HWND> visibleWindows() const;

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

// A fresh folder under the system's temporary folder, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::wstring& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);

// Replaces this program's import of one function of a system DLL with another
// function of the same signature while the object lives. The program's own
// code (the screens and the conversion run are linked into the test program)
// then calls the replacement.
class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    // The function the import held before; null when it was not found.
    void* original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Holds the first ReadFile that a given thread makes after construction
// until release() (or the end of the object): a source file that is slow to
// deliver, for as long as the test wants.
class ReadGate {
public:
    explicit ReadGate(DWORD thread);
    ~ReadGate();
    ReadGate(const ReadGate&) = delete;
    ReadGate& operator=(const ReadGate&) = delete;
    // True once the thread is waiting inside ReadFile.
    bool waitUntilHeld(DWORD timeoutMs = defaultTimeoutMs);
    void release();

private:
    // Arms the gate for `thread`; the replacement for ReadFile.
    static void* arm(DWORD thread);
    static BOOL WINAPI readFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
    ImportHook hook_;
};

// Another program that keeps a file open, started from the test program's
// folder (velmora_file_holder.exe): with no sharing at all, or letting others
// read only, as a spreadsheet that has a CSV file open does.
enum class Sharing { none, readOnly };

class FileHolder {
public:
    FileHolder(const std::filesystem::path& file, Sharing sharing);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    // True when the other program has the file open.
    bool holding() const { return holding_; }

private:
    PROCESS_INFORMATION process_{};
    HANDLE input_ = nullptr;  // closing it tells the holder to let go
    bool holding_ = false;
};

// The folder of the test program's executable.
std::filesystem::path programFolder();

}  // namespace velmora::testing
