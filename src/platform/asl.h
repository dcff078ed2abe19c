// asl.library stand-in: file requesters. The requester's face is provided by
// the front end: a Qt file dialog in the program, queued answers in the
// script driver and in tests.
#pragma once

#include "platform/exec.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

constexpr ULONG ASL_FileRequest = 0;

struct FileRequester {
    std::string fr_Drawer;
    std::string fr_File;
};

// The tags the program passes; an absent tag was not given.
struct AslTags {
    std::optional<std::string> titleText;      // ASLFR_TitleText
    std::optional<bool> doSaveMode;            // ASLFR_DoSaveMode
    std::optional<std::string> initialDrawer;  // ASLFR_InitialDrawer
    std::optional<std::string> initialPattern; // ASLFR_InitialPattern
    std::optional<std::string> initialFile;    // ASLFR_InitialFile
    std::optional<bool> doPatterns;            // ASLFR_DoPatterns
};

struct AslAnswer {
    std::string drawer;
    std::string file;
};

std::unique_ptr<FileRequester> AllocAslRequest(ULONG type);
// Shows the requester; TRUE with fr_Drawer and fr_File filled when the user
// chose, FALSE when cancelled.
BOOL AslRequest(FileRequester& requester, const AslTags& tags);
void FreeAslRequest(std::unique_ptr<FileRequester> requester);

// The front end answers a request: nullopt is a cancel.
using AslHandler = std::function<std::optional<AslAnswer>(const AslTags&)>;
void SetAslHandler(AslHandler handler);
// Scripted requester: answers queued in order; a request with no queued
// answer is cancelled. Every request's tags are recorded.
void QueueAslAnswer(std::optional<AslAnswer> answer);
void ClearAslAnswers();
const std::vector<AslTags>& AslRequestLog();
