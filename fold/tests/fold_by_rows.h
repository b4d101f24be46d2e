#pragma once

// The folding rule read literally, for checking the fast FoldText against it:
// each unit is tested against the 18 rows in their order.

#include "fold_text.h"

#include <string>
#include <string_view>

inline std::u16string FoldByRows(std::u16string_view source)
{
    std::u16string result;
    result.reserve(source.size());
    for (char16_t unit : source) {
        for (FoldRow row : FoldTable) {
            if (unit == row.letter)
                unit = row.plain;
        }
        result.push_back(unit);
    }
    return result;
}
