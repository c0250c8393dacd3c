// Cutting the source text into physical lines.
//
// One rule decides where a physical line ends: at CR LF while a CR LF follows
// anywhere in the rest of the text, at LF after the last CR LF; a CR alone
// ends nothing. So the cutter is told where the text's last CR LF stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace velmora {

// Reads the next piece of a text into `buffer` (at most `size` bytes): the
// number of bytes delivered, 0 at the end, nothing when reading failed.
using ReadPiece = std::function<std::optional<std::size_t>(char* buffer, std::size_t size)>;

// Delivers the physical lines of a text, without their line ends, in one
// forward pass. The text is either given whole, or it arrives piece by piece
// through a ReadPiece; then only the unfinished line and one piece are held,
// so a large file costs little memory. A text that ends with a line end has
// one further, empty line.
class LineCutter {
public:
    // The text up to its first zero byte.
    explicit LineCutter(std::string_view text);

    // `lastCrlf`: the text offset of the CR of the text's last CR LF, as far
    // as it is known.
    LineCutter(ReadPiece read, std::optional<std::uint64_t> lastCrlf, std::size_t pieceSize);

    // The next physical line, valid until the next call; nothing once there
    // is none left, when a piece could not be read (see readFailed()), or
    // when the text proves `lastCrlf` wrong (see contradicted()).
    std::optional<std::string_view> next();

    bool readFailed() const { return readFailed_; }
    // The text holds a CR LF after `lastCrlf`, or ends before it: lines cut
    // so far are not to be trusted.
    bool contradicted() const { return contradicted_; }

private:
    static constexpr std::uint64_t kNoCrlf = UINT64_MAX;

    bool fill();
    std::nullopt_t stopContradicted();

    ReadPiece read_;                   // none for a text given whole
    std::unique_ptr<char[]> storage_;  // the unfinished line and the piece behind it
    std::size_t capacity_ = 0;
    std::size_t pieceSize_ = 0;
    const char* data_ = nullptr;  // the text given whole, or storage_
    std::size_t size_ = 0;
    std::size_t pos_ = 0;     // start of the bytes not yet cut into lines
    std::uint64_t base_ = 0;  // text offset of data_[0]
    std::uint64_t lastCrlf_ = kNoCrlf;
    bool end_ = false;  // nothing more will be read
    bool done_ = false;
    bool readFailed_ = false;
    bool contradicted_ = false;
};

}  // namespace velmora
