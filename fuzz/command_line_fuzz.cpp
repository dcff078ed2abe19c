// Command lines as the runner reads them; and any name, quoted for a command
// line, comes back out as exactly that one argument.
#include "fuzz_support.h"

#include "os/command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::Text(data, size);
    ParsedCommand parsed;
    ParseCommandLine(text, parsed);

    if (text.find('\0') != std::string_view::npos)
        return 0;
    const std::string line = "C:Copy " + QuoteIfNeeded(text) + " \"" + EscapeInQuotes(text) + "\"\n";
    if (!ParseCommandLine(line, parsed) || parsed.arguments.size() != 2 || parsed.arguments[0] != text
        || parsed.arguments[1] != text || !parsed.input.empty() || !parsed.output.empty())
        __builtin_trap();
    FitsOnOneLine(text);
    EscapeForSlave(text);
    return 0;
}
