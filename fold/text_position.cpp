#include "text_position.h"

#include "code_page.h"
#include "letter_bytes.h"

#include <cstring>

using letter_bytes::Continues;
using letter_bytes::SequenceLength;

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

} // namespace

std::uint64_t TextPosition::column() const
{
    // Bytes still pending form no character with a letter after them.
    const std::size_t pending = encoding_ == ByteEncoding::Utf8 ? pendingSize_ : pendingSize_ / 2;
    return column_ + pending + 1;
}

void TextPosition::Advance(const unsigned char* bytes, std::size_t size)
{
    if (IsCodePage(encoding_)) {  // a character is a byte
        for (std::size_t i = 0; i < size; ++i)
            Character(bytes[i] == '\n');
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (encoding_ == ByteEncoding::Utf8)
            Utf8Byte(bytes[i]);
        else
            Utf16Byte(bytes[i]);
    }
}

void TextPosition::Utf8Byte(unsigned char byte)
{
    if (pendingSize_ > 0 && !Continues(pending_, pendingSize_, byte)) {
        // What was pending forms no character: each of its bytes counts as one.
        column_ += pendingSize_;
        pendingSize_ = 0;
        started_ = true;
    }
    if (pendingSize_ == 0) {
        if (SequenceLength(byte) <= 1)
            Character(byte == '\n');
        else
            pending_[pendingSize_++] = byte;
        return;
    }
    pending_[pendingSize_++] = byte;
    if (pendingSize_ == SequenceLength(pending_[0])) {
        pendingSize_ = 0;
        Character(false, std::memcmp(pending_, "\xEF\xBB\xBF", 3) == 0);
    }
}

void TextPosition::Utf16Byte(unsigned char byte)
{
    pending_[pendingSize_++] = byte;
    if (pendingSize_ % 2)
        return;
    const unsigned char* bytes = pending_ + pendingSize_ - 2;
    const char16_t unit = Utf16Unit(bytes, encoding_);
    const bool afterHigh = pendingSize_ == 4;
    pendingSize_ = 0;
    if (afterHigh) {
        // A pair, or a high surrogate that stood alone: one character either way.
        Character(false);
        if (IsLowSurrogate(unit))
            return;
    }
    if (IsHighSurrogate(unit)) {
        std::memmove(pending_, bytes, 2);
        pendingSize_ = 2;
    } else {
        Character(unit == u'\n', unit == 0xFEFF);
    }
}

void TextPosition::Character(bool lineFeed, bool byteOrderMark)
{
    // A byte order mark that opens the stream is no character of the text.
    const bool first = !started_;
    started_ = true;
    if (first && byteOrderMark)
        return;
    if (lineFeed) {
        ++line_;
        column_ = 0;
    } else {
        ++column_;
    }
}
