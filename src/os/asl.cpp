#include "os/asl.h"

#include <deque>
#include <vector>

namespace {

AslHandler& Handler()
{
    static AslHandler handler;
    return handler;
}

std::deque<std::optional<AslAnswer>>& Queue()
{
    static std::deque<std::optional<AslAnswer>> queue;
    return queue;
}

std::vector<AslTags>& Log()
{
    static std::vector<AslTags> log;
    return log;
}

} // namespace

std::unique_ptr<FileRequester> AllocAslRequest(ULONG type)
{
    if (type != ASL_FileRequest)
        return nullptr;
    return std::make_unique<FileRequester>();
}

BOOL AslRequest(FileRequester& requester, const AslTags& tags)
{
    Log().push_back(tags);
    std::optional<AslAnswer> answer;
    if (!Queue().empty()) {
        answer = Queue().front();
        Queue().pop_front();
    } else if (Handler()) {
        answer = Handler()(tags);
    }
    if (!answer)
        return FALSE;
    requester.fr_Drawer = answer->drawer;
    requester.fr_File = answer->file;
    return TRUE;
}

void FreeAslRequest(std::unique_ptr<FileRequester> requester) { requester.reset(); }

std::optional<AslAnswer> ChooseFile(const AslTags& tags)
{
    std::unique_ptr<FileRequester> requester = AllocAslRequest(ASL_FileRequest);
    if (!requester || !AslRequest(*requester, tags) || requester->fr_File.empty())
        return std::nullopt;
    return AslAnswer{requester->fr_Drawer, requester->fr_File};
}

void SetAslHandler(AslHandler handler) { Handler() = std::move(handler); }

void QueueAslAnswer(std::optional<AslAnswer> answer) { Queue().push_back(std::move(answer)); }

void ClearAslAnswers()
{
    Queue().clear();
    Log().clear();
}

const std::vector<AslTags>& AslRequestLog() { return Log(); }
