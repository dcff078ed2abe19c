#include "os/exec.h"

#include "os/format.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace {

DebugSink& Sink()
{
    static DebugSink sink;
    return sink;
}

std::vector<std::string*>& Captures()
{
    static std::vector<std::string*> captures;
    return captures;
}

WaitHook& TheWaitHook()
{
    static WaitHook hook;
    return hook;
}

std::map<std::string, bool, std::less<>>& Unavailable()
{
    static std::map<std::string, bool, std::less<>> unavailable;
    return unavailable;
}

thread_local TraceHold* tHold = nullptr;

} // namespace

void kprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = VFormat(format, args);
    va_end(args);
    EmitTrace(text);
}

TraceHold::TraceHold() : outer_(tHold) { tHold = this; }

TraceHold::~TraceHold() { tHold = outer_; }

std::string TraceHold::Take() { return std::exchange(text_, std::string()); }

void EmitTrace(std::string_view text)
{
    if (tHold) {
        tHold->text_.append(text);
        return;
    }
    for (std::string* capture : Captures())
        capture->append(text);
    if (Sink())
        Sink()(text);
    else if (Captures().empty()) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
}

void SetDebugSink(DebugSink sink) { Sink() = std::move(sink); }

TraceCapture::TraceCapture() { Captures().push_back(&text_); }

TraceCapture::~TraceCapture()
{
    auto& captures = Captures();
    for (auto it = captures.begin(); it != captures.end(); ++it) {
        if (*it == &text_) {
            captures.erase(it);
            break;
        }
    }
}

std::unique_ptr<Library> OpenLibrary(std::string_view name, LONG version)
{
    auto it = Unavailable().find(name);
    if (it != Unavailable().end() && it->second)
        return nullptr;
    auto library = std::make_unique<Library>();
    library->name = std::string(name);
    library->version = version;
    return library;
}

void CloseLibrary(std::unique_ptr<Library> library) { library.reset(); }

void SetLibraryAvailable(std::string_view name, bool available)
{
    Unavailable()[std::string(name)] = !available;
}

void SetWaitHook(WaitHook hook) { TheWaitHook() = std::move(hook); }

ULONG Wait(ULONG signalSet)
{
    if (TheWaitHook())
        return TheWaitHook()(signalSet);
    return signalSet;
}
