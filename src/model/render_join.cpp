// Transitions between croutons in a render. Each crouton's encode writes,
// beside its piece shortened by them, the head and tail it gives to the
// transitions either side (kHeadStretch, kTailStretch, in its lane). When a
// crouton is taken, the transition into it is made from the tail the
// crouton before kept and its own head, encoded as the croutons' pieces
// are, and joined between the two; its own tail then waits outside its
// lane, which a later crouton reuses, until the next crouton is taken.
#include "model/render.h"

#include "model/crouton_time.h"
#include "model/render_internal.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"

#include <cctype>

namespace {

// The tail of the crouton last taken, until the next one is.
constexpr const char* kKeptTail = "T:__CWJoinTail";

bool Exists(std::string_view name) { return static_cast<bool>(Lock(name, SHARED_LOCK)); }

} // namespace

std::string TransitionCommand(std::string_view output, std::string_view tail, std::string_view head,
                              std::string_view xfade, double seconds, std::string_view encoder)
{
    return "mencoder \"" + EscapeInQuotes(tail) + "\" \"" + EscapeInQuotes(head) + "\" -o \"" + EscapeInQuotes(output)
           + "\" -transition " + std::string(xfade) + ":" + SecondsText(seconds) + " " + std::string(encoder);
}

namespace render_detail {

bool HasTransitionBefore(const PieceLook& piece) { return !IsCut(piece.before) && piece.head > 0; }

TransitionRun MakeTransition(const PieceLook& piece, const std::string& encoder, int index)
{
    TransitionRun made;
    const TransitionKind* kind = FindTransitionKind(piece.before.kind);
    made.kind = kind ? std::string(kind->label) : piece.before.kind;
    if (!made.kind.empty())
        made.kind[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(made.kind[0])));
    if (!kind || !Exists(kKeptTail) || !Exists(kHeadStretch)) {
        kprintf("Crouton number %d follows with a cut: there is nothing to make its transition from.\n", index - 1);
        DeleteFile(kKeptTail);
        DeleteFile(kHeadStretch);
        return made;
    }
    const std::string command =
        TransitionCommand(kTransitionPiece, kKeptTail, kHeadStretch, kind->xfade, piece.head, encoder);
    kprintf("Transition into crouton number %d: %s.\n", index - 1, command.c_str());
    DeleteFile(kTransitionPiece);
    made.ran = true;
    made.code = RunRenderCommand(command);
    DeleteFile(kKeptTail);
    DeleteFile(kHeadStretch);
    return made;
}

void KeepTail(const PieceLook& piece)
{
    DeleteFile(kKeptTail);
    if (!IsCut(piece.after) && piece.tail > 0 && Exists(kTailStretch) && !MoveDosFile(kTailStretch, kKeptTail))
        kprintf("Couldn't keep %s as %s.\n", std::string(kTailStretch).c_str(), kKeptTail);
}

void ForgetStretches()
{
    DeleteFile(kHeadStretch);
    DeleteFile(kTailStretch);
}

void ForgetTransitions()
{
    DeleteFile(kKeptTail);
    DeleteFile(kTransitionPiece);
    DeleteFile(std::string(kTransitionPiece) + std::string(kSamplesBeside));
}

} // namespace render_detail
