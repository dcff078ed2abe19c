// exec.library stand-in: basic types, the debug trace, libraries and signals.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using BOOL = std::int16_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using WORD = std::int16_t;
using UWORD = std::uint16_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// The break signal that Ctrl-C raises.
constexpr ULONG SIGBREAKF_CTRL_C = 0x1000;

// Writes one formatted debug trace to the debug output (stderr unless a sink
// is installed). Text is passed on exactly as formatted.
void kprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The text of a "%s" trace argument: a null text shows as glibc prints it.
inline const char* TraceText(const std::optional<std::string>& text) { return text ? text->c_str() : "(null)"; }

// Tests capture the trace by installing a sink; an empty sink restores stderr.
using DebugSink = std::function<void(std::string_view)>;
void SetDebugSink(DebugSink sink);

// Captures every trace line written while it lives.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    const std::string& Text() const { return text_; }
    bool Contains(std::string_view needle) const { return text_.find(needle) != std::string::npos; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

// Holds the trace of one thread while it lives: what that thread writes
// with kprintf goes into the hold instead of the debug output, so work that
// runs beside other work (a render's side-by-side encodes) can hand its
// lines on in order. Holds nest; the innermost one takes the lines.
// Writes trace text (held text handed on) as kprintf writes its own.
void EmitTrace(std::string_view text);
class TraceHold {
public:
    TraceHold();
    ~TraceHold();
    TraceHold(const TraceHold&) = delete;
    TraceHold& operator=(const TraceHold&) = delete;
    // What was held so far; taking it empties the hold.
    std::string Take();

private:
    friend void EmitTrace(std::string_view text);
    std::string text_;
    TraceHold* outer_;
};

// Shared libraries. Only the names the program asks for are known; a test can
// make one unavailable to exercise the start-up failure paths.
struct Library {
    std::string name;
    LONG version = 0;
};
std::unique_ptr<Library> OpenLibrary(std::string_view name, LONG version);
void CloseLibrary(std::unique_ptr<Library> library);
void SetLibraryAvailable(std::string_view name, bool available);

// Waits for any of the signals in signalSet and returns those received. The
// wait itself is carried out by the installed wait hook (the Qt view, or the
// script driver); without a hook it returns the set at once.
using WaitHook = std::function<ULONG(ULONG signalSet)>;
void SetWaitHook(WaitHook hook);
ULONG Wait(ULONG signalSet);
