#include "find_letter.h"

#include "letter_bytes.h"

PieceScan FindLetter(ByteFold fold, const unsigned char* in, std::size_t size, bool end)
{
    return letter_bytes::Scan<true>(fold, in, size, nullptr, end);
}
