// Moving the file at a render's output name aside while the render writes
// there, and back should it fail (kept_output.h).
#include "model/kept_output.h"

#include "model/render_internal.h"
#include "os/exec.h"
#include "os/question.h"

#include <utility>

using namespace render_detail;

namespace {

std::string NoteProblem()
{
    const std::string folder = StateFolder();
    kprintf("Couldn't write the render's note.\n");
    return "Nothing was rendered: the note that lets Clipweaver put the old file back after a crash could not "
           "be written in " + (folder.empty() ? std::string("the state folder (is HOME set?)") : folder) + ".";
}

} // namespace

std::string KeptOutput::MoveAside(const std::string& output, OutputClaimHandle claim)
{
    output_ = output;
    claim_ = std::move(claim);
    if (!NameTaken(output)) {
        if (!NoteOutputKept(*claim_, ""))
            return NoteProblem();
        active_ = true;
        return {};
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = OutputAsideName(output, attempt);
        if (NameTaken(name)) {
            // Left by a render that never ended; not ours to replace.
            if (attempt == 0)
                TellUser("Render", "An earlier render of " + ShownPath(output) + " that never ended left the file "
                                       "that stood there before as " + ShownPath(name) + "; it is kept there.");
            continue;
        }
        if (!NoteOutputKept(*claim_, name))
            return NoteProblem();
        if (!Rename(output, name)) {
            const LONG error = IoErr();
            kprintf("Couldn't move %s aside.\n", output.c_str());
            if (error == ERROR_OBJECT_IN_USE)
                return ShownPath(output) + " is in use by another program (it holds a lock on it), so nothing "
                                           "was rendered: close it there, or choose another output name.";
            return "The file " + ShownPath(output) + " that is there now could not be moved aside, so nothing "
                   "was rendered; check that its folder may be written to.";
        }
        aside_ = name;
        active_ = true;
        kprintf("Moved %s aside to %s.\n", output.c_str(), name.c_str());
        return {};
    }
    return "The file " + ShownPath(output) + " that is there now could not be moved aside, so nothing was "
           "rendered: its folder holds 100 old files of earlier renders that never ended.";
}

void KeptOutput::Writing(bool writing)
{
    if (active_ && claim_)
        NoteOutputWritten(*claim_, writing);
}

std::string KeptOutput::PutBack()
{
    // Before the output was ours, what stands there is the user's.
    if (!active_) {
        claim_.reset();
        return {};
    }
    active_ = false;
    DeleteFile(output_);
    std::string kept;
    if (!aside_.empty()) {
        if (Rename(aside_, output_)) {
            kprintf("Put %s back.\n", output_.c_str());
        } else {
            kprintf("Couldn't put %s back; it is kept as %s.\n", output_.c_str(), aside_.c_str());
            kept = " The file that stood at " + ShownPath(output_) + " before could not be put back; it is "
                   "kept as " + ShownPath(aside_) + ".";
        }
        aside_.clear();
    }
    claim_.reset();
    return kept;
}

void KeptOutput::Drop()
{
    active_ = false;
    claim_.reset();
    if (!aside_.empty())
        DeleteFile(aside_);
    aside_.clear();
}
