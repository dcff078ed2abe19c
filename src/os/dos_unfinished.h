// The start-up's side of unfinished file work (private to cw_platform; the
// notes themselves are taken in dos.h).
#pragma once

#include <string>

namespace dosdetail {

// Finishes what the notes in `folder`, the T: of an instance that no longer
// runs, say was left half done: removes temporary files and puts outputs
// that were moved aside back under their own names.
void FinishUnfinishedWork(const std::string& folder);
// Undoes what renders that no longer run left at their outputs, as their
// notes in the state folder say (dos_output_claim.cpp).
void FinishUnfinishedRenders();

} // namespace dosdetail
