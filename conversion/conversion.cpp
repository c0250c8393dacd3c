#include "conversion/conversion.h"

#include <algorithm>
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

// What the run shows when the source cannot be read.
std::string_view loadFailureText(LoadResult result) {
    return result == LoadResult::unsupportedEncoding ? messages::encodingUnsupported : messages::sourceUnreadable;
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
    {PathRole::source, [](const Path& path, Files& files) { return files.exists(path); }, messages::sourceMissing},
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

// What happened to the destination when a run ended early.
enum class Destination : bool { untouched, written };

RunOutcome run(const RunRequest& request, UserInterface& ui, platform::FileSystem& files, Destination& destination) {
    platform::WriteMode mode = platform::WriteMode::createAlways;
    if (!validatePaths(request.source, request.destination, ui, files)) return {RunResult::failed, {}};

    if (files.exists(request.destination)) {
        switch (ui.askOverwriteOrAppend()) {
        case OverwriteChoice::overwrite:
            break;
        case OverwriteChoice::append:
            mode = platform::WriteMode::openAlways;
            break;
        case OverwriteChoice::cancel:
            return {RunResult::cancelled, {}};
        }
    }
    ui.appendMessage(messages::converting);

    Account facts;
    ContactList list;
    list.useLayout(request.layout);
    if (request.accounting == Accounting::kept) list.keepAccount(&facts);
    const LoadResult loaded = loadSourceFile(request.source, list, files);
    if (loaded != LoadResult::loaded) {
        ui.showError(loadFailureText(loaded));
        ui.appendMessage(messages::failed);
        return {RunResult::failed, {}};
    }

    std::unique_ptr<platform::DestinationFile> file = openAtEnd(request.destination, mode, files);
    if (!file) {
        ui.showError(messages::destinationUnwritable);
        ui.appendMessage(messages::failed);
        return {RunResult::failed, {}};
    }
    destination = Destination::written;
    if (mode != platform::WriteMode::openAlways && writeCsvHeader(*file) != WriteResult::written) {
        file.reset();
        ui.appendMessage(messages::headerFailed);
        return {RunResult::failed, {}};
    }

    const RowsWritten rows = writeContactRows(list, *file);
    for (std::size_t i = 0; i < rows.failed; ++i) ui.appendMessage(messages::rowFailed);
    const auto input = static_cast<std::size_t>(
        std::count_if(list.records.begin(), list.records.end(), [](const ContactRecord& r) { return r.complete; }));
    RunOutcome outcome{RunResult::completed, {}};
    if (request.accounting == Accounting::kept) outcome.account = describeAccount(list, facts);

    if (list.empty() || rows.written == 0) {
        ui.appendMessage(messages::nothingToOutput);
    } else {
        ui.appendMessage(messages::completed);
        ui.appendMessage(messages::CountsLine(input, rows.written).text());
    }
    file.reset();
    // Contacts that could not be written make the run a failed one, even
    // though it went on with the others.
    if (rows.failed != 0) outcome.result = RunResult::failed;
    return outcome;
}

}  // namespace

RunOutcome runConversion(const RunRequest& request, UserInterface& ui, platform::FileSystem& files) {
    Destination destination = Destination::untouched;
    try {
        return run(request, ui, files, destination);
    } catch (const std::exception&) {
        // Memory ran out outside the reader and the writer (a path, a message
        // text). Before the destination was touched this is a source that
        // could not be read, as when the reader itself runs out of memory;
        // the run ends as failed and says so if it still can.
        try {
            if (destination == Destination::untouched) ui.showError(messages::sourceUnreadable);
            ui.appendMessage(messages::failed);
        } catch (const std::exception&) {
        }
        return {RunResult::failed, {}};
    }
}

RunOutcome checkSource(const std::filesystem::path& source, Layout layout, UserInterface& ui,
                       platform::FileSystem& files) {
    try {
        if (!checkPaths(source, nullptr, ui, files)) return {RunResult::failed, {}};
        Account facts;
        ContactList list;
        list.useLayout(layout);
        list.keepAccount(&facts);
        const LoadResult loaded = loadSourceFile(source, list, files);
        if (loaded != LoadResult::loaded) {
            ui.showError(loadFailureText(loaded));
            return {RunResult::failed, {}};
        }
        return {RunResult::completed, describeAccount(list, facts)};
    } catch (const std::exception&) {
        // Memory ran out while the account was written.
        ui.showError(messages::sourceUnreadable);
        return {RunResult::failed, {}};
    }
}

}  // namespace velmora
