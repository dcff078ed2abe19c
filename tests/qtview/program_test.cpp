// The windowed program itself: it starts on Qt's offscreen platform in a
// folder with its pictures and ends cleanly on Ctrl-C.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Reads what the child writes to `fd` until `done` says so or the pipe
// closes; gives up after `limit` (a guard against a hung program, not a
// measure of speed).
void ReadUntil(int fd, std::string& text, std::chrono::seconds limit, const auto& done)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done(text) && std::chrono::steady_clock::now() < deadline) {
        pollfd watch{fd, POLLIN, 0};
        if (poll(&watch, 1, 200) <= 0)
            continue;
        std::string chunk(4096, '\0');
        const ssize_t got = read(fd, chunk.data(), chunk.size());
        if (got <= 0)
            return;
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

TEST(Program, StartsAndEndsCleanlyOnCtrlC)
{
    const std::string program = CW_PROGRAM;
    if (program.empty())
        GTEST_SKIP() << "built without the Clipweaver program";

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string_view(*entry).starts_with("QT_QPA_PLATFORM="))
            continue;
        environment.emplace_back(*entry);
    }
    environment.emplace_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string argument0 = program;
    char* argv[] = {argument0.data(), nullptr};

    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    ASSERT_EQ(spawned, 0);

    // Its Ctrl-C handler is in place before the program's first trace.
    std::string trace;
    ReadUntil(pipeEnds[0], trace, std::chrono::seconds(60),
              [](const std::string& text) { return text.find("Open ASL.\n") != std::string::npos; });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(child, SIGINT);
    ReadUntil(pipeEnds[0], trace, std::chrono::seconds(60),
              [](const std::string& text) { return text.find("Closing down.\n") != std::string::npos; });
    ReadUntil(pipeEnds[0], trace, std::chrono::seconds(10), [](const std::string&) { return false; });
    close(pipeEnds[0]);

    int status = 0;
    pid_t ended = 0;
    for (int tries = 0; tries < 100 && (ended = waitpid(child, &status, WNOHANG)) == 0; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the program did not end; it traced:\n" << trace;
    }
    ASSERT_TRUE(WIFEXITED(status)) << trace;
    EXPECT_EQ(WEXITSTATUS(status), 0) << trace;
    const auto quitting = trace.find("Quitting.\n");
    const auto closing = trace.find("Closing down.\n");
    ASSERT_NE(quitting, std::string::npos) << trace;
    ASSERT_NE(closing, std::string::npos) << trace;
    EXPECT_LT(quitting, closing);
    // Ctrl-C ends the loop without a quit of its own.
    EXPECT_EQ(trace.find("Quit received!\n"), std::string::npos);
}

} // namespace
