// The parsed address book: one ContactRecord per BEGIN:VCARD ... END:VCARD
// block, in file order, with every text value kept in the list's arena.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Account;

// Charset named by a property's parameters.
enum class Charset : std::uint8_t { none, shiftJis, utf8 };

// Transfer encoding named by a property's parameters.
enum class TransferEncoding : std::uint8_t { none, base64, quotedPrintable };

// What the text of a value is in: UTF-8, converted into the code page when
// stored, or code page text (Shift_JIS), stored as it stands.
enum class TextEncoding : std::uint8_t { codePage, utf8 };

// How the source's text is read, which decides the charset of every line that
// names none. The whole file decides, never a single line: short Shift_JIS
// text can happen to be well-formed UTF-8 too.
enum class SourceReading : std::uint8_t {
    codePage,        // Shift_JIS (code page 932), or text of ASCII alone
    utf16,           // UTF-16LE, converted into code page 932 when loaded
    utf8Marked,      // UTF-8 after its byte-order mark
    utf8WellFormed,  // well-formed UTF-8 throughout, with bytes above 0x7F
};

// Whether the backslash escapes of vCard 3.0 are undone in a value: a block
// decides, by its VERSION line.
enum class Escapes : std::uint8_t { kept, undone };

// How a line's values are written, made once for each logical line: the
// transfer encoding and charset its parameters name, what its text is in (as
// named, or the source's when it names none), and the escapes of the block
// it belongs to. The decoder, the placement and the account read it.
struct LineCoding {
    TransferEncoding transfer = TransferEncoding::none;
    TextEncoding text = TextEncoding::codePage;
    Escapes escapes = Escapes::kept;
    Charset charset = Charset::none;
};

constexpr bool isUtf8(SourceReading reading) {
    return reading == SourceReading::utf8Marked || reading == SourceReading::utf8WellFormed;
}

// Which columns a contact's lines fill. The classic layout is the one the
// CSV file was first made for: the whole name in 名, the first two bytes of
// the reading in 姓, one home address and eight telephones. The full layout
// splits the name and keeps the whole readings, the department and title,
// three kinds of address and every telephone column.
enum class Layout : std::uint8_t { classic, full };

// The text fields of a contact, in record order: the 26 of the classic
// layout, then those that only the full layout fills. Each field has one
// CSV column (csv_writer.cpp).
enum class Field : std::uint8_t {
    fullName,
    readingPrefix,
    lastNameReading,
    nameReading,
    birthday,
    company,
    department,
    jobTitle,
    homeStreet,
    homeCity,
    homeState,
    homePostalCode,
    homeCountry,
    businessFax,
    businessPhone,
    businessPhone2,
    companyMainPhone,
    homePhone,
    homePhone2,
    mobilePhone,
    pager,
    email1,
    email2,
    email3,
    webPage,
    notes,
    // The full layout's own: the name by its parts,
    familyName,
    givenName,
    middleName,
    namePrefix,
    nameSuffix,
    companyReading,
    // the parts of an address that the classic layout runs together or has
    // no column for, and the business and other addresses,
    homeExtended,
    homePoBox,
    businessStreet,
    businessExtended,
    businessCity,
    businessState,
    businessPostalCode,
    businessCountry,
    businessPoBox,
    otherStreet,
    otherExtended,
    otherCity,
    otherState,
    otherPostalCode,
    otherCountry,
    otherPoBox,
    // and the telephone columns the classic layout leaves empty.
    carPhone,
    homeFax,
    isdn,
    otherFax,
    otherPhone,
    count  // not a field: the number of fields
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::count);

// Where a field's bytes stand in the list's arena; absent and empty differ.
struct TextRef {
    static constexpr std::uint32_t kAbsent = UINT32_MAX;
    std::uint32_t offset = kAbsent;
    std::uint32_t length = 0;

    bool present() const { return offset != kAbsent; }
};

struct ContactRecord {
    std::array<TextRef, kFieldCount> fields{};
    bool complete = false;     // the block's END:VCARD was seen
    bool unsupported = false;  // a VERSION, CHARSET or ENCODING is not supported

    const TextRef& operator[](Field f) const { return fields[static_cast<std::size_t>(f)]; }
    TextRef& operator[](Field f) { return fields[static_cast<std::size_t>(f)]; }
    bool has(Field f) const { return (*this)[f].present(); }
};

class ContactList {
public:
    std::vector<ContactRecord> records;

    std::size_t count() const { return records.size(); }
    bool empty() const { return records.empty(); }

    // The record that receives lines: the last one, none while the list is empty.
    ContactRecord* current() { return records.empty() ? nullptr : &records.back(); }

    // A field's text, or nothing when the field is absent.
    std::optional<std::string_view> text(const ContactRecord& record, Field field) const;

    // Stores `value` into the field (present from then on, possibly empty).
    // Throws std::bad_alloc when memory or the arena's 4 GiB run out.
    void store(ContactRecord& record, Field field, std::string_view value) { record[field] = keep(value); }

    // Keeps `value` in the arena, for a field to refer to; throws as store().
    TextRef keep(std::string_view value);

    // The layout the records are filled for (classic unless chosen before
    // the list is filled); the CSV lines and the account follow it.
    void useLayout(Layout layout) { layout_ = layout; }
    Layout layout() const { return layout_; }

    void clear();

    // Makes room for about `records` records and `textBytes` bytes of field
    // text, as far as memory allows; only a head start, never a failure.
    void reserve(std::size_t records, std::size_t textBytes);

    // Adds an empty record at the end and returns it.
    ContactRecord& addRecord();

    // Memory the list may take, or nothing for no limit: growing past it
    // throws std::bad_alloc, so that an address book too large for this
    // machine ends as exhausted memory instead of starving the system.
    void limitMemory(std::optional<std::uint64_t> bytes) { limit_ = bytes; }

    // Bytes of field text stored so far; a line that stores a non-empty
    // value makes it grow.
    std::size_t textSize() const { return arena_.size(); }

    // Has the reader hand the facts behind the records to `account` (none
    // by default): where each block began, what made it unsupported, what
    // found no column. The facts describe the records, so clear() empties
    // them too.
    void keepAccount(Account* account) { account_ = account; }
    Account* account() const { return account_; }

private:
    void checkGrowth(std::size_t recordCapacity, std::size_t arenaCapacity) const;
    // The records and their text are filled once and kept to the end of the
    // run: large pages spare most of the page faults of filling them (5 to 8
    // percent of the time of a 100 MB feature phone's book).
    void preferLargePages();

    std::string arena_;
    std::optional<std::uint64_t> limit_;
    Account* account_ = nullptr;
    Layout layout_ = Layout::classic;
};

}  // namespace velmora
