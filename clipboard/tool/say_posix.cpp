#include "say.h"

bool Say(std::FILE* stream, std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0
           && !std::ferror(stream);
}
