// What the tools read of files, read in this process by the library ffprobe
// and ffmpeg are built on (libavformat): an ffprobe or ffmpeg run costs
// some 60 ms of processor time to start (it loads and binds some 200
// libraries), against 2 to 8 ms for the reading itself, and a render probes
// each source before its first encode and copies its first piece's samples
// out before its sound can be compressed. A probe's answer is the text
// ffprobe would print, so its reader and the probe memory stay as they
// are; copied samples are the bytes ffmpeg would write. Whatever the
// library cannot read (a file it cannot open, a damaged one) is left to
// ffprobe or ffmpeg, so a failure reads as it always did.
#pragma once

#include "os/command.h"

#include <optional>
#include <string>

namespace cwtools {

// An answer given here, or none: ffprobe is to be asked.
using LibraryAnswer = std::optional<std::string> (*)(const std::string& hostPath, const RunCancel& cancel);

// What `ffprobe -v error -show_entries stream=codec_type,codec_name,width,
// height,r_frame_rate,avg_frame_rate,bit_rate,duration,sample_aspect_ratio,
// start_time,field_order:stream_side_data=rotation:format=duration,bit_rate,
// start_time,format_name -of compact` prints of the file: a "stream|" line
// per stream and a "format|" line (its "program|" lines left out).
std::optional<std::string> LibraryFacts(const std::string& hostPath, const RunCancel& cancel);

// What `ffprobe -v error -select_streams v:0 -count_packets -show_entries
// stream=nb_read_packets -of csv=p=0` prints: the first picture stream's
// packets, counted by reading them all.
std::optional<std::string> LibraryPacketCount(const std::string& hostPath, const RunCancel& cancel);

// Copies the samples of `piece`'s first sound stream (16-bit PCM) into the
// file `samples`, as `ffmpeg -i piece -map 0:a:0 -c:a copy -f s16le
// samples` does; false, with no file left, when it cannot.
bool LibraryCopySamples(const std::string& piece, const std::string& samples, const RunCancel& cancel);

// Whether files are read here: CLIPWEAVER_READ_WITH_TOOLS=1 leaves every
// reading to ffprobe and ffmpeg runs of their own (for comparing).
bool ReadsInProcess();

} // namespace cwtools
