#include "vcard/contact.h"

#include "vcard/account.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "platform/platform.h"

namespace velmora {

std::optional<std::string_view> ContactList::text(const ContactRecord& record, Field field) const {
    const TextRef& ref = record[field];
    if (!ref.present()) return std::nullopt;
    return std::string_view(arena_).substr(ref.offset, ref.length);
}

TextRef ContactList::keep(std::string_view value) {
    // Offsets are 32-bit to keep records small; an address book whose kept
    // text exceeds that is treated like any other exhaustion of memory.
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - 1;
    if (arena_.size() + value.size() > limit) throw std::bad_alloc();
    if (arena_.size() + value.size() > arena_.capacity())
        checkGrowth(records.capacity(), std::max(arena_.size() + value.size(), arena_.capacity() * 2));
    const TextRef ref{static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(value.size())};
    const std::size_t capacity = arena_.capacity();
    arena_.append(value);
    if (arena_.capacity() != capacity) preferLargePages();
    return ref;
}

void ContactList::preferLargePages() {
    platform::preferLargePages(records.data(), records.capacity() * sizeof(ContactRecord));
    platform::preferLargePages(arena_.data(), arena_.capacity());
}

void ContactList::checkGrowth(std::size_t recordCapacity, std::size_t arenaCapacity) const {
    if (limit_ && static_cast<std::uint64_t>(recordCapacity) * sizeof(ContactRecord) + arenaCapacity > *limit_)
        throw std::bad_alloc();
}

void ContactList::reserve(std::size_t recordCount, std::size_t textBytes) {
    try {
        checkGrowth(recordCount, textBytes);
        records.reserve(recordCount);
        arena_.reserve(textBytes);
        preferLargePages();
    } catch (const std::exception&) {
    }
}

ContactRecord& ContactList::addRecord() {
    const std::size_t capacity = records.capacity();
    if (records.size() == capacity) checkGrowth(std::max<std::size_t>(16, capacity * 2), arena_.capacity());
    ContactRecord& record = records.emplace_back();
    if (records.capacity() != capacity) preferLargePages();
    return record;
}

void ContactList::clear() {
    std::vector<ContactRecord>().swap(records);
    std::string().swap(arena_);
    if (account_ != nullptr) account_->clear();
}

}  // namespace velmora
