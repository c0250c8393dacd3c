// One conversion run: validate the two paths, ask about an existing
// destination, read the source, write the CSV file, report the outcome.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/report.h"
#include "platform/files.h"
#include "vcard/contact.h"

namespace velmora {

enum class OverwriteChoice { overwrite, append, cancel };

// What the run needs of the user interface. All texts are UTF-8; a "\r\n"
// inside a text is a line break.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // A modal error box with a single OK button.
    virtual void showError(std::string_view text) = 0;
    // One line at the end of the message list, made the selected line.
    virtual void appendMessage(std::string_view text) = 0;
    // The question asked when the destination already exists.
    virtual OverwriteChoice askOverwriteOrAppend() = 0;
};

// How a run ended; everything the user needs to know about it has been
// reported through the UserInterface.
enum class RunResult {
    completed,  // ended normally, "nothing to output" included
    cancelled,  // the user chose not to touch the existing destination
    failed,     // the run failed, or some contact lines could not be written
};

// Whether a run keeps the account of what the CSV file leaves out.
enum class Accounting : bool { none, kept };

// What a conversion run is asked to do.
struct RunRequest {
    std::filesystem::path source;
    std::filesystem::path destination;
    Layout layout = Layout::classic;
    Accounting accounting = Accounting::none;
};

// How a run or a check ended, and the account when one was kept: by a run
// that wrote its contact lines, or by a check that read the source.
struct RunOutcome {
    RunResult result;
    std::optional<AccountReport> account;
};

// Converts the request's source into its destination, both reached through
// `files`.
RunOutcome runConversion(const RunRequest& request, UserInterface& ui,
                         platform::FileSystem& files = platform::realFileSystem());

// Reads the source as a run does, with the run's checks of the source path,
// in `layout`, and writes nothing: `completed` with the account of what a
// conversion would leave out; `failed` when the source cannot be read, the
// reason shown through `ui.showError` in the run's words.
RunOutcome checkSource(const std::filesystem::path& source, Layout layout, UserInterface& ui,
                       platform::FileSystem& files = platform::realFileSystem());

// True when the run may proceed; otherwise the reason has been shown.
bool validatePaths(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
                   platform::FileSystem& files = platform::realFileSystem());

// The path from its last "." to the end, dot included; empty without a ".".
std::filesystem::path::string_type extensionOf(const std::filesystem::path& path);

// The whole path when it names an existing folder or holds no separator;
// otherwise the path cut just before its last separator.
std::filesystem::path::string_type directoryOf(const std::filesystem::path& path,
                                               platform::FileSystem& files = platform::realFileSystem());

// The destination the main window proposes for a chosen source: everything
// from the last "." replaced by ".csv", or ".csv" appended without a ".".
std::filesystem::path::string_type proposeDestination(std::filesystem::path::string_type source);

}  // namespace velmora
