// clipweaver-script / clipweaver-script-basic: runs the program in the
// current folder with the user's actions taken from a script file.
#include "gui/script.h"
#include "os/dos.h"
#include "tools/tools.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// The whole script, read at once and closed again, so that no tool the
// script starts inherits it.
std::optional<std::string> ReadScript(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    std::array<char, 65536> buffer{};
    bool failed = false;
    while (true) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (failed)
        return std::nullopt;
    return text;
}

extern "C" void OnStop(int) { StopScript(); }

// SIGINT, SIGTERM and SIGHUP end the script as Quit would: a render is
// cancelled and cleaned up first.
void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "clipweaver-script") << " SCRIPT\n";
        return 2;
    }
    const std::optional<std::string> text = ReadScript(argv[1]);
    if (!text) {
        std::cerr << "script: cannot open " << argv[1] << "\n";
        return 1;
    }
    std::istringstream script(*text);
    cwtools::StartInstance();
    InstallStopHandlers();
    return RunScript(script, std::cout, std::cerr);
}
