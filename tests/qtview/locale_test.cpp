// The windowed program under a user's locale that writes a decimal comma:
// QApplication takes that locale for the C library, and the front end puts
// numbers back to "4.5", so project files, the tools' command lines and the
// player (mpv refuses any other) keep working.
#include "os/format.h"
#include "qtview/qtview.h"
#include "tools/tool_run_support.h"

#include <gtest/gtest.h>
#include <mpv/client.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A German locale made for the test (the system may have none); false when
// it cannot be made.
bool MakeGermanLocale(const std::string& folder)
{
    int code = -1;
    toolrun::Capture({"localedef", "-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"}, &code);
    return code == 0 || code == 1; // 1: made, with warnings
}

// How the C library writes 4.5 now.
std::string Printed(double value)
{
    std::string text(16, '\0');
    text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), "%.1f", value)));
    return text;
}

TEST(UserLocale, NumbersStayWrittenWithAPointAndThePlayerStarts)
{
    cwtest::TempFolder folder("cw-locale-test");
    if (!MakeGermanLocale(folder.path()))
        GTEST_SKIP() << "localedef cannot make de_DE here";
    ::setenv("LOCPATH", folder.path().c_str(), 1);
    // What QApplication does on start for a German user.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(Printed(4.5), "4,5"); // the fault the front end mends
    {
        const qtview::Frontend frontend;
        EXPECT_EQ(Printed(4.5), "4.5");
        EXPECT_EQ(Format("%f", 29.97), "29.970000");
        EXPECT_EQ(ParseNumber("29.97"), 29.97);
        mpv_handle* player = mpv_create();
        EXPECT_NE(player, nullptr);
        if (player)
            mpv_destroy(player);
    }
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
}

} // namespace
