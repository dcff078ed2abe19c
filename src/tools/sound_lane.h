// A render's sound compressed while its pictures are still being encoded.
// Each piece with sound leaves its samples beside it (SoundBeside); as the
// joins take the pieces in order, their samples go to one encoder that
// writes the sound as the finished file will hold it, so the finish only
// puts it beside the pictures instead of compressing all of it alone at
// the end. Whatever does not fit (a piece without its samples, pieces
// other than those fed, an encoder that failed) leaves the finish to
// compress the sound itself, as it always could: the lane can make a render
// faster, never different.
#pragma once

#include "os/command.h"
#include "tools/tool_media.h"

#include <optional>
#include <string>
#include <vector>

namespace cwtools {

// The joins this thread makes next lead to a file finished in `container`
// (ContainerForName): their sound may be compressed as they come. Ends a
// lane still open.
void ExpectSoundLane(const std::string& container);
// After a join, the pieces of its assembly in order: those not yet fed are
// handed to the encoder (started with the first). A piece that left no
// samples beside it has them copied out first.
void FeedSoundLane(const std::vector<AssemblyPiece>& pieces, const RunCancel& cancel);
// For the finish of exactly these pieces into `container`: the compressed
// sound, once the encoder has ended; none when the lane cannot give it (the
// finish then compresses the sound itself). The lane is over either way;
// the file stays until the finish consumes it or EndSoundLane.
std::optional<std::string> CompressedSound(const std::vector<AssemblyPiece>& pieces, const std::string& container,
                                           const RunCancel& cancel);
// Ends the lane, its encoder and its files (a render that failed, was
// cancelled or took its finished video from elsewhere).
void EndSoundLane();

// How a finished file's sound is compressed: its container's codec and the
// options that make it; none for a container the finish does not know.
struct FinishSound {
    std::string container;
    std::string codec;
    std::vector<std::string> words;
};
const FinishSound* FinishSoundOf(const std::string& container);

} // namespace cwtools
