#include "vcard/lines.h"

#include <algorithm>
#include <cstring>

namespace velmora {

LineCutter::LineCutter(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const std::size_t lastCrlf = text.rfind("\r\n");
    lastCrlf_ = lastCrlf == std::string_view::npos ? kNoCrlf : lastCrlf;
    data_ = text.data();
    size_ = text.size();
    end_ = true;
}

LineCutter::LineCutter(ReadPiece read, std::optional<std::uint64_t> lastCrlf, std::size_t pieceSize)
    : read_(std::move(read)), pieceSize_(std::max<std::size_t>(pieceSize, 1)), lastCrlf_(lastCrlf.value_or(kNoCrlf)) {}

std::optional<std::string_view> LineCutter::next() {
    if (done_) return std::nullopt;
    std::size_t from = pos_;  // where the search for the line end goes on
    for (;;) {
        const void* hit = from < size_ ? std::memchr(data_ + from, '\n', size_ - from) : nullptr;
        if (hit != nullptr) {
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
            const bool crlf = lf > pos_ && data_[lf - 1] == '\r';
            if (crlf && (lastCrlf_ == kNoCrlf || base_ + lf - 1 > lastCrlf_)) return stopContradicted();
            // A bare LF ends the line only when no CR LF follows it.
            if (crlf || lastCrlf_ == kNoCrlf || lastCrlf_ < base_ + lf) {
                const std::string_view line(data_ + pos_, (crlf ? lf - 1 : lf) - pos_);
                pos_ = lf + 1;
                return line;
            }
            from = lf + 1;  // the LF stays inside the line
            continue;
        }
        if (end_) {
            done_ = true;
            return std::string_view(data_ + pos_, size_ - pos_);
        }
        from -= pos_;
        if (!fill()) {
            if (readFailed_) {
                done_ = true;
                return std::nullopt;
            }
            end_ = true;
        }
        if (end_ && lastCrlf_ != kNoCrlf && lastCrlf_ + 1 >= base_ + size_) return stopContradicted();
    }
}

std::nullopt_t LineCutter::stopContradicted() {
    contradicted_ = true;
    done_ = true;
    return std::nullopt;
}

// Keeps the unfinished line at the front and appends the next piece behind
// it; false at the end of the text or when reading failed.
bool LineCutter::fill() {
    char* data = storage_.get();
    if (pos_ > 0) std::memmove(data, data + pos_, size_ - pos_);
    size_ -= pos_;
    base_ += pos_;
    pos_ = 0;
    if (capacity_ - size_ < pieceSize_) {
        // Room for one more piece behind the unfinished line, which only a
        // line longer than a piece makes grow.
        const std::size_t capacity = std::max(capacity_ * 2, size_ + pieceSize_);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) std::memcpy(grown.get(), data, size_);
        storage_ = std::move(grown);
        capacity_ = capacity;
        data = storage_.get();
    }
    data_ = data;
    const auto delivered = read_(data + size_, pieceSize_);
    if (!delivered) {
        readFailed_ = true;
        return false;
    }
    size_ += *delivered;
    return *delivered > 0;
}

}  // namespace velmora
