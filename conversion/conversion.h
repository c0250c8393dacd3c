// One conversion run: validate the two paths, ask about an existing
// destination, read the source, write the CSV file, report the outcome.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

// 0 when the run ended normally (nothing to output and Cancel included),
// -1 when it failed or some contact lines could not be written. Everything
// the user needs to know has been reported through `ui`. With `account`,
// a run that wrote its contact lines leaves there the account of what the
// CSV file leaves out (UTF-8 lines, see describeAccount); it is left alone
// otherwise.
int runConversion(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
                  std::string* account = nullptr);

// Reads the source as a run does and writes nothing: 0 with the account of
// what a conversion would leave out in `account`; -1 when the source cannot
// be read, the reason shown through `ui.showError` in the run's words.
int checkSource(const std::filesystem::path& source, UserInterface& ui, std::string& account);

// True when the run may proceed; otherwise the reason has been shown.
bool validatePaths(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui);

// The path from its last "." to the end, dot included; empty without a ".".
std::filesystem::path::string_type extensionOf(const std::filesystem::path& path);

// The whole path when it names an existing folder or holds no separator;
// otherwise the path cut just before its last separator.
std::filesystem::path::string_type directoryOf(const std::filesystem::path& path);

// The destination the main window proposes for a chosen source: everything
// from the last "." replaced by ".csv", or ".csv" appended without a ".".
std::filesystem::path::string_type proposeDestination(std::filesystem::path::string_type source);

}  // namespace velmora
