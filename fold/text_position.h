#pragma once

#include "fold_bytes.h"

#include <cstddef>
#include <cstdint>

// Counts lines and characters through a stream, for telling where a letter
// stands. Lines end at LF; a character is one valid UTF-8 sequence or UTF-16
// unit or surrogate pair, and each byte that is not part of one counts as a
// character of its own. A byte order mark at the start is not counted.
class TextPosition {
public:
    explicit TextPosition(ByteEncoding encoding) : encoding_(encoding) {}
    // Takes in the next bytes of the stream.
    void Advance(const unsigned char* bytes, std::size_t size);
    // Line and column, both from 1, of a letter that comes next.
    std::uint64_t line() const { return line_; }
    std::uint64_t column() const;

private:
    void Utf8Byte(unsigned char byte);
    void Utf16Byte(unsigned char byte);
    void Character(bool lineFeed, bool byteOrderMark = false);
    ByteEncoding encoding_;
    std::uint64_t line_ = 1;
    std::uint64_t column_ = 0;
    bool started_ = false;
    unsigned char pending_[4] = {};
    std::size_t pendingSize_ = 0;
};
