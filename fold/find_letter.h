#pragma once

#include "fold_bytes.h"

// The first of the 18 letters in a piece, held back as FoldBytes holds back:
// its offset and length in bytes (a base letter's with its mark) in `letter`
// and `letterLength`, or, when there is none, how much of the piece was
// consumed. Nothing is produced.
PieceScan FindLetter(ByteFold fold, const unsigned char* in, std::size_t size, bool end);
