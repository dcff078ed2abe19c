// Patterns: the text up to the first line feed is the pattern, the rest the
// name it is matched against.
#include "fuzz_support.h"

#include "os/dos.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::Text(data, size);
    const std::size_t cut = text.find('\n');
    const std::string_view pattern = text.substr(0, cut);
    const std::string_view name = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    std::string tokenised;
    const LONG parsed = ParsePatternNoCase(pattern, tokenised, 1024);
    if (parsed == -1)
        return 0;
    MatchPatternNoCase(tokenised, name);
    // A pattern without wildcards matches its own text.
    if (parsed == 0 && tokenised.find('\'') == std::string::npos && MatchPatternNoCase(tokenised, tokenised) != TRUE)
        __builtin_trap();
    return 0;
}
