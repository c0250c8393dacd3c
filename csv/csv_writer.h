// The contact CSV file: a fixed Shift_JIS header line of 95 column names and
// one line of 95 columns per exportable contact, every line ended by CR LF.
// Present fields are always quoted, absent ones empty.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vcard/contact.h"

namespace velmora {

// Where the CSV bytes go. `write` returns how many of the bytes reached the
// destination: all of them, or fewer when the write failed. `discardTail`
// takes the last bytes written back out again.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual std::size_t write(const char* data, std::size_t size) = 0;
    virtual bool discardTail(std::size_t size) = 0;
};

// The header line, CR LF included (1130 bytes).
std::string_view csvHeader();

// Number of columns in every line.
inline constexpr std::size_t kCsvColumns = 95;

// 0 when the header was written, -3 when the write failed (what part of it
// reached the destination is taken back out).
int writeCsvHeader(ByteSink& sink);

// A contact becomes a line when its END:VCARD was seen, it uses nothing
// unsupported, and at least one of its text fields is present (empty counts).
bool isExportable(const ContactRecord& record);

// Replaces `row` with the line of `record`, CR LF included.
void formatContactRow(const ContactList& list, const ContactRecord& record, std::string& row);

// Writes contact lines in large blocks while keeping the outcome of every
// line separate: a line counts as written only when all of its bytes reached
// the destination, and each line that did not is reported as one failure and
// taken back out, so that the file never ends in part of a line.
class CsvRowWriter {
public:
    explicit CsvRowWriter(ByteSink& sink, std::size_t blockSize = 1 << 20);

    // Queues the line of an exportable record (others are skipped). Returns
    // the number of lines found to have failed while doing so.
    int writeContactRow(const ContactList& list, const ContactRecord& record, int& outputCount);

    // Writes what is queued; returns the number of lines that failed.
    int finish(int& outputCount);

private:
    int flush(int& outputCount);

    ByteSink& sink_;
    std::size_t blockSize_;
    std::string block_;
    std::vector<std::size_t> rowEnds_;  // end offset of each queued line
};

}  // namespace velmora
