// Tool groups recorded in T:. Each line of the record is
// "<group> <session> <start time of the leader>", the start time in clock
// ticks since boot as /proc gives it; together they tell a tool of ours from
// an unrelated process that got the same number later.

#include "process/tool_groups.h"

#include "os/dos.h"
#include "process/process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace cwtools {
namespace {

constexpr const char* kRecordName = ".clipweaver-tools";

struct GroupRecord {
    long long group = 0;
    long long session = 0;
    unsigned long long started = 0;
};

struct ProcessFacts {
    long long group = 0;
    long long session = 0;
    unsigned long long started = 0;
};

// The group, session and start time of a process; none when it is gone or
// only a zombie is left of it.
std::optional<ProcessFacts> ReadProcess(long long pid)
{
    const auto text = ReadHostFile("/proc/" + std::to_string(pid) + "/stat");
    if (!text)
        return std::nullopt;
    // The command name in parentheses may hold anything, blanks included.
    const std::size_t close = text->rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text->substr(close + 1));
    std::string state;
    long long parent = 0;
    ProcessFacts facts;
    fields >> state >> parent >> facts.group >> facts.session;
    // Fields 7 to 21 come before the start time (field 22).
    std::string skipped;
    for (int field = 7; field <= 21; ++field)
        fields >> skipped;
    fields >> facts.started;
    if (!fields || state == "Z" || state == "X")
        return std::nullopt;
    return facts;
}

std::vector<GroupRecord>& OwnGroups()
{
    static std::vector<GroupRecord> groups;
    return groups;
}

std::vector<GroupRecord> ReadRecords(const std::string& folder)
{
    std::vector<GroupRecord> records;
    const auto text = ReadHostFile(folder + "/" + kRecordName);
    if (!text)
        return records;
    std::istringstream lines(*text);
    GroupRecord record;
    while (lines >> record.group >> record.session >> record.started)
        if (record.group > 1)
            records.push_back(record);
    return records;
}

bool GroupHasEnded(long long group) { return ::kill(static_cast<pid_t>(-group), 0) != 0 && errno == ESRCH; }

} // namespace

void RecordToolGroup(int pgid)
{
    const std::optional<ProcessFacts> facts = ReadProcess(pgid);
    if (!facts)
        return;
    // Tools start on several threads while a render encodes side by side.
    static std::mutex guard;
    const std::lock_guard<std::mutex> lock(guard);
    auto& groups = OwnGroups();
    std::erase_if(groups, [](const GroupRecord& record) { return GroupHasEnded(record.group); });
    groups.push_back({pgid, facts->session, facts->started});

    const std::string folder = TemporaryFolder();
    if (folder.empty())
        return;
    std::string text;
    for (const GroupRecord& record : groups)
        text += std::to_string(record.group) + " " + std::to_string(record.session) + " "
              + std::to_string(record.started) + "\n";
    // Replaced in one step, so a crash never leaves half a record.
    const std::string record = folder + "/" + kRecordName;
    const std::string pending = record + ".new";
    if (WriteHostFile(pending, text))
        std::rename(pending.c_str(), record.c_str());
}

void EndRecordedToolGroups(const std::string& folder)
{
    const std::vector<GroupRecord> records = ReadRecords(folder);
    if (records.empty())
        return;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc)
        return;
    std::vector<std::pair<long long, ProcessFacts>> processes;
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long long pid = std::strtoll(entry->d_name, &end, 10);
        if (pid <= 1 || *end != '\0' || pid == ::getpid())
            continue;
        if (const auto facts = ReadProcess(pid))
            processes.emplace_back(pid, *facts);
    }
    for (const GroupRecord& record : records) {
        bool leaderIsOurs = true;
        for (const auto& [pid, facts] : processes)
            if (pid == record.group && (facts.started != record.started || facts.session != record.session))
                leaderIsOurs = false;
        if (!leaderIsOurs)
            continue; // the number now belongs to somebody else
        for (const auto& [pid, facts] : processes)
            if (facts.group == record.group && facts.session == record.session && facts.started >= record.started) {
                kprintf("Ending tool %lld left by an instance that ended.\n", pid);
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
    }
}

} // namespace cwtools
