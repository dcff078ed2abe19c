// The file that stood at a render's output name before it. It is renamed
// to a hidden file beside it: a rename in the same folder is instant even
// for a large video, needs no room on T:, and leaves the old file on disk.
// Before anything moves, the render's note (ClaimOutput, in the user's
// state folder) says how to undo it, so that the start-up after a crash, a
// kill or a reboot puts the old file back should the program die before it
// can itself.
#pragma once

#include "os/dos.h"

#include <string>

class KeptOutput {
public:
    KeptOutput() = default;
    KeptOutput(const KeptOutput&) = delete;
    KeptOutput& operator=(const KeptOutput&) = delete;

    // Empty when the output name is the render's to write; else why not, in
    // plain words. Nothing is moved unless the note says so first.
    std::string MoveAside(const std::string& output, OutputClaimHandle claim);
    // The render's tools write the output name from now on, or have written
    // it (what stands there is the render's own).
    void Writing(bool writing);
    // The render failed or was cancelled: the old file (or no file) again.
    // Empty, or where the old file is when it could not be put back.
    std::string PutBack();
    // The render succeeded: the note goes first (without it, a crash leaves
    // at worst the old file hidden, and the next render tells of it), then
    // the old file.
    void Drop();

private:
    std::string output_;
    std::string aside_;
    OutputClaimHandle claim_;
    bool active_ = false; // the output name is the render's to write and clean
};
