#include "conversion/conversion.h"

#include <cstdio>
#include <memory>
#include <new>

#include "conversion/messages.h"
#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/shift_jis.h"
#include "vcard/account.h"
#include "vcard/contact.h"
#include "vcard/loader.h"

namespace velmora {
namespace {

using PathString = std::filesystem::path::string_type;
using PathChar = std::filesystem::path::value_type;
constexpr PathChar kSeparator = std::filesystem::path::preferred_separator;

// Longest path, in UTF-16 code units, that a run accepts.
constexpr std::size_t kMaxPathLength = 256;

class DestinationSink : public ByteSink {
public:
    explicit DestinationSink(platform::DestinationFile& file) : file_(file) {}
    std::size_t write(const char* data, std::size_t size) override { return file_.write(data, size); }
    bool discardTail(std::size_t size) override { return size == 0 || file_.discardTail(size); }

private:
    platform::DestinationFile& file_;
};

// What the run shows when the source cannot be read.
std::string_view loadFailureText(LoadResult result) {
    return result == LoadResult::unsupportedEncoding ? messages::encodingUnsupported : messages::sourceUnreadable;
}

// Shows one line per contact line that could not be written; returns their number.
int reportFailures(UserInterface& ui, int failures) {
    for (int i = 0; i < failures; ++i) ui.appendMessage(messages::rowFailed);
    return failures;
}

using Path = std::filesystem::path;
using Files = platform::FileSystem;

enum class PathRole { source, destination };

struct PathCheck {
    PathRole role;
    bool (*passes)(const Path& path, Files& files);
    std::string_view message;  // shown when the check fails
};

// The checks of the two paths in the order a run makes them; the first that
// fails is the one shown. A check of the source alone makes the source's
// checks, in the same order.
constexpr PathCheck kPathChecks[] = {
    {PathRole::source, [](const Path& path, Files&) { return !path.empty(); }, messages::sourceEmpty},
    {PathRole::destination, [](const Path& path, Files&) { return !path.empty(); }, messages::destinationEmpty},
    {PathRole::source, [](const Path& path, Files&) { return platform::utf16Length(path) <= kMaxPathLength; },
     messages::sourceTooLong},
    {PathRole::destination, [](const Path& path, Files&) { return platform::utf16Length(path) <= kMaxPathLength; },
     messages::destinationTooLong},
    {PathRole::source,
     [](const Path& path, Files&) { return ascii::equalsIgnoringCase<PathChar>(extensionOf(path), ".vcf"); },
     messages::sourceNotVcard},
    {PathRole::destination,
     [](const Path& path, Files&) { return ascii::equalsIgnoringCase<PathChar>(extensionOf(path), ".csv"); },
     messages::destinationNotCsv},
    {PathRole::source, [](const Path& path, Files& files) { return files.fileExists(path); }, messages::sourceMissing},
    {PathRole::destination, [](const Path& path, Files& files) { return files.folderExists(directoryOf(path, files)); },
     messages::destinationFolderMissing},
};

// Makes the checks of `source`, and of `destination` when it is given; true
// when all pass, otherwise the reason has been shown.
bool checkPaths(const Path& source, const Path* destination, UserInterface& ui, Files& files) {
    for (const PathCheck& check : kPathChecks) {
        if (check.role == PathRole::destination && destination == nullptr) continue;
        if (!check.passes(check.role == PathRole::source ? source : *destination, files)) {
            ui.showError(check.message);
            return false;
        }
    }
    return true;
}

// The destination opened and placed at its end; nothing when either fails,
// running out of memory included.
std::unique_ptr<platform::DestinationFile> openAtEnd(const Path& destination, platform::WriteMode mode, Files& files) {
    try {
        auto file = files.openDestination(destination, mode);
        if (file && file->seekToEnd()) return file;
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

}  // namespace

PathString extensionOf(const std::filesystem::path& path) {
    const PathString& text = path.native();
    const std::size_t dot = text.rfind(PathChar('.'));
    return dot == PathString::npos ? PathString() : text.substr(dot);
}

PathString directoryOf(const std::filesystem::path& path, platform::FileSystem& files) {
    const PathString& text = path.native();
    const std::size_t separator = text.rfind(kSeparator);
    if (separator == PathString::npos || files.folderExists(path)) return text;
    return text.substr(0, separator);
}

PathString proposeDestination(PathString source) {
    const std::size_t dot = source.rfind(PathChar('.'));
    if (dot != PathString::npos) source.erase(dot);
    for (const char c : std::string_view(".csv")) source += static_cast<PathChar>(c);
    return source;
}

bool validatePaths(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
                   platform::FileSystem& files) {
    return checkPaths(source, &destination, ui, files);
}

namespace {

RunResult run(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
              AccountReport* account, platform::FileSystem& files, Layout layout, bool& writing) {
    platform::WriteMode mode = platform::WriteMode::createAlways;
    if (!validatePaths(source, destination, ui, files)) return RunResult::failed;

    if (files.fileExists(destination)) {
        switch (ui.askOverwriteOrAppend()) {
        case OverwriteChoice::overwrite:
            break;
        case OverwriteChoice::append:
            mode = platform::WriteMode::openAlways;
            break;
        case OverwriteChoice::cancel:
            return RunResult::cancelled;
        }
    }
    ui.appendMessage(messages::converting);

    Account facts;
    ContactList list;
    list.useLayout(layout);
    if (account != nullptr) list.keepAccount(&facts);
    const LoadResult loaded = loadSourceFile(source, list, files);
    if (loaded != LoadResult::loaded) {
        ui.showError(loadFailureText(loaded));
        ui.appendMessage(messages::failed);
        return RunResult::failed;
    }

    std::unique_ptr<platform::DestinationFile> file = openAtEnd(destination, mode, files);
    if (!file) {
        ui.showError(messages::destinationUnwritable);
        ui.appendMessage(messages::failed);
        return RunResult::failed;
    }
    writing = true;
    DestinationSink sink(*file);
    if (mode != platform::WriteMode::openAlways && writeCsvHeader(sink) != Success) {
        file.reset();
        ui.appendMessage(messages::headerFailed);
        return RunResult::failed;
    }

    int inputCount = 0;
    int outputCount = 0;
    int rowFailures = 0;
    CsvRowWriter writer(sink);
    for (const ContactRecord& record : list.records) {
        if (record.complete) ++inputCount;
        rowFailures += reportFailures(ui, writer.writeContactRow(list, record, outputCount));
    }
    rowFailures += reportFailures(ui, writer.finish(outputCount));
    if (account != nullptr) *account = describeAccount(list, facts);

    if (list.empty() || outputCount == 0) {
        ui.appendMessage(messages::nothingToOutput);
    } else {
        ui.appendMessage(messages::completed);
        char counts[256];
        std::snprintf(counts, sizeof counts, messages::countsFormat, inputCount, outputCount);
        ui.appendMessage(counts);
    }
    file.reset();
    // Contacts that could not be written make the run a failed one, even
    // though it went on with the others.
    return rowFailures == 0 ? RunResult::completed : RunResult::failed;
}

}  // namespace

RunResult runConversion(const std::filesystem::path& source, const std::filesystem::path& destination,
                        UserInterface& ui, AccountReport* account, platform::FileSystem& files, Layout layout) {
    bool writing = false;
    try {
        return run(source, destination, ui, account, files, layout, writing);
    } catch (const std::exception&) {
        // Memory ran out outside the reader and the writer (a path, a message
        // text). Before the destination was touched this is a source that
        // could not be read, as when the reader itself runs out of memory;
        // the run ends as failed and says so if it still can.
        try {
            if (!writing) ui.showError(messages::sourceUnreadable);
            ui.appendMessage(messages::failed);
        } catch (const std::exception&) {
        }
        return RunResult::failed;
    }
}

RunResult checkSource(const std::filesystem::path& source, UserInterface& ui, AccountReport& account,
                      platform::FileSystem& files, Layout layout) {
    try {
        if (!checkPaths(source, nullptr, ui, files)) return RunResult::failed;
        Account facts;
        ContactList list;
        list.useLayout(layout);
        list.keepAccount(&facts);
        const LoadResult loaded = loadSourceFile(source, list, files);
        if (loaded != LoadResult::loaded) {
            ui.showError(loadFailureText(loaded));
            return RunResult::failed;
        }
        account = describeAccount(list, facts);
        return RunResult::completed;
    } catch (const std::exception&) {
        // Memory ran out while the account was written.
        ui.showError(messages::sourceUnreadable);
        return RunResult::failed;
    }
}

}  // namespace velmora
