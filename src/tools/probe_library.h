// The probes' questions answered in this process by the library ffprobe is
// built on (libavformat), in ffprobe's own words: an ffprobe run costs some
// 60 ms of processor time to start (it loads and binds some 200
// libraries), against 2 to 8 ms for the question itself, and a render asks
// once per source before its first encode. The answer is the text ffprobe
// would print, so its reader and the probe memory stay as they are.
// Whatever the library cannot answer (a file it cannot open or read) is
// asked of ffprobe itself, so a failure reads as it always did.
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

// Whether questions are answered here: CLIPWEAVER_PROBE_WITH_FFPROBE=1
// sends every one to ffprobe (for comparing the two).
bool ProbesInProcess();

} // namespace cwtools
