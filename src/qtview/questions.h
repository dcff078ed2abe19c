// The Qt face of questions and messages (internal to the Qt front end).
#pragma once

namespace qtview::detail {

void InstallQuestions();
void RemoveQuestions();

} // namespace qtview::detail
