// The contact CSV file: a fixed Shift_JIS header line of 95 column names and
// one line of 95 columns per exportable contact, every line ended by CR LF.
// Present fields are always quoted, absent ones empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "vcard/contact.h"

namespace velmora {

// The header line, CR LF included: the 95 column names in Shift_JIS.
std::string_view csvHeader();

// Number of columns in every line.
inline constexpr std::size_t kCsvColumns = 95;

// The field the lines of `layout` hold in `column` (below kCsvColumns), or
// nothing for a column those lines always leave empty.
std::optional<Field> fieldInColumn(Layout layout, std::size_t column);

enum class WriteResult : std::uint8_t {
    written,
    failed,  // what part reached the destination has been taken back out
};

WriteResult writeCsvHeader(platform::DestinationFile& file);

// A contact becomes a line when its END:VCARD was seen, it uses nothing
// unsupported, and at least one of its text fields is present (empty counts).
bool isExportable(const ContactRecord& record);

// Replaces `row` with the line of `record`, CR LF included.
void formatContactRow(const ContactList& list, const ContactRecord& record, std::string& row);

// What writing a list's contact lines did.
struct RowsWritten {
    std::size_t written = 0;  // lines that reached the destination whole
    std::size_t failed = 0;   // lines that could not be made or written
};

// Writes the line of every exportable record of `list`, in list order, in
// blocks of about `blockSize` bytes while keeping the outcome of every line
// separate: a line counts as written only when all of its bytes reached the
// destination, and each line that did not counts as one failure and is taken
// back out, so that the file never ends in part of a line.
RowsWritten writeContactRows(const ContactList& list, platform::DestinationFile& file,
                             std::size_t blockSize = std::size_t{1} << 20);

}  // namespace velmora
