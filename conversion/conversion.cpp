#include "conversion/conversion.h"

#include <cstdio>

#include "conversion/messages.h"
#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "platform/platform.h"
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

bool equalsIgnoreAsciiCase(const PathString& text, std::string_view expected) {
    if (text.size() != expected.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        PathChar c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<PathChar>(c + ('a' - 'A'));
        if (c != static_cast<PathChar>(expected[i])) return false;
    }
    return true;
}

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

}  // namespace

PathString extensionOf(const std::filesystem::path& path) {
    const PathString& text = path.native();
    const std::size_t dot = text.rfind(PathChar('.'));
    return dot == PathString::npos ? PathString() : text.substr(dot);
}

PathString directoryOf(const std::filesystem::path& path) {
    const PathString& text = path.native();
    const std::size_t separator = text.rfind(kSeparator);
    if (separator == PathString::npos || platform::folderExists(path)) return text;
    return text.substr(0, separator);
}

PathString proposeDestination(PathString source) {
    const std::size_t dot = source.rfind(PathChar('.'));
    if (dot != PathString::npos) source.erase(dot);
    for (const char c : std::string_view(".csv")) source += static_cast<PathChar>(c);
    return source;
}

bool validatePaths(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui) {
    const auto fail = [&](std::string_view message) {
        ui.showError(message);
        return false;
    };
    if (source.empty()) return fail(messages::sourceEmpty);
    if (destination.empty()) return fail(messages::destinationEmpty);
    if (platform::utf16Length(source) > kMaxPathLength) return fail(messages::sourceTooLong);
    if (platform::utf16Length(destination) > kMaxPathLength) return fail(messages::destinationTooLong);
    if (!equalsIgnoreAsciiCase(extensionOf(source), ".vcf")) return fail(messages::sourceNotVcard);
    if (!equalsIgnoreAsciiCase(extensionOf(destination), ".csv")) return fail(messages::destinationNotCsv);
    if (!platform::fileExists(source)) return fail(messages::sourceMissing);
    if (!platform::folderExists(directoryOf(destination))) return fail(messages::destinationFolderMissing);
    return true;
}

namespace {

int run(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
        std::string* account, bool& writing) {
    platform::WriteMode mode = platform::WriteMode::createAlways;
    if (!validatePaths(source, destination, ui)) return -1;

    if (platform::fileExists(destination)) {
        switch (ui.askOverwriteOrAppend()) {
        case OverwriteChoice::overwrite:
            break;
        case OverwriteChoice::append:
            mode = platform::WriteMode::openAlways;
            break;
        case OverwriteChoice::cancel:
            return 0;
        }
    }
    ui.appendMessage(messages::converting);

    Account facts;
    ContactList list;
    if (account != nullptr) list.keepAccount(&facts);
    const LoadResult loaded = loadSourceFile(source, list);
    if (loaded != LoadResult::loaded) {
        ui.showError(loadFailureText(loaded));
        ui.appendMessage(messages::failed);
        return -1;
    }

    platform::DestinationFile file;
    if (!file.open(destination, mode) || !file.seekToEnd()) {
        file.close();
        ui.showError(messages::destinationUnwritable);
        ui.appendMessage(messages::failed);
        return -1;
    }
    writing = true;
    DestinationSink sink(file);
    if (mode != platform::WriteMode::openAlways && writeCsvHeader(sink) != Success) {
        file.close();
        ui.appendMessage(messages::headerFailed);
        return -1;
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
    file.close();
    // Contacts that could not be written make the run a failed one, even
    // though it went on with the others.
    return rowFailures == 0 ? 0 : -1;
}

}  // namespace

int runConversion(const std::filesystem::path& source, const std::filesystem::path& destination, UserInterface& ui,
                  std::string* account) {
    bool writing = false;
    try {
        return run(source, destination, ui, account, writing);
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
        return -1;
    }
}

}  // namespace velmora

namespace velmora {

int checkSource(const std::filesystem::path& source, UserInterface& ui, std::string& account) {
    const auto fail = [&](std::string_view message) {
        ui.showError(message);
        return -1;
    };
    try {
        // The checks of validatePaths that concern the source, in its order.
        if (source.empty()) return fail(messages::sourceEmpty);
        if (platform::utf16Length(source) > kMaxPathLength) return fail(messages::sourceTooLong);
        if (!equalsIgnoreAsciiCase(extensionOf(source), ".vcf")) return fail(messages::sourceNotVcard);
        if (!platform::fileExists(source)) return fail(messages::sourceMissing);

        Account facts;
        ContactList list;
        list.keepAccount(&facts);
        const LoadResult loaded = loadSourceFile(source, list);
        if (loaded != LoadResult::loaded) return fail(loadFailureText(loaded));
        account = describeAccount(list, facts);
        return 0;
    } catch (const std::exception&) {
        // Memory ran out while the account was written.
        return fail(messages::sourceUnreadable);
    }
}

}  // namespace velmora
