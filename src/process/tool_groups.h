// The process groups of the tools an instance has running, recorded in its
// T: folder so that the start-up after a crash can end tools the dead
// instance left behind (private to cw_platform).
#pragma once

#include <string>

namespace cwtools {

// Notes a tool just started (the leader of its own process group) in this
// instance's T: folder; groups that have ended are dropped from the record.
void RecordToolGroup(int pgid);

// Ends what is left of the tool groups recorded in `folder`, the T: folder of
// an instance that no longer runs. A recorded group counts only while its
// processes are the ones recorded (same session, started no earlier than
// the group's leader, and the leader itself, if still there, the same
// process): a process that merely got a recycled number is left alone.
void EndRecordedToolGroups(const std::string& folder);

} // namespace cwtools
