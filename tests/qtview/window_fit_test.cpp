// Each window, laid out by the real view, fits a common laptop screen
// (1366x768): nothing a user needs is off the screen's edge.
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "mui/mui.h"
#include "qtview/qtview.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

constexpr int kScreenWidth = 1366;
constexpr int kScreenHeight = 768;

class WindowFit : public testing::TestWithParam<LONG> {
protected:
    void SetUp() override
    {
        application = BuildApplication({"Beach at dawn", "Harbour walk", "Sunset timelapse"});
        ASSERT_NE(application, nullptr);
    }
    void TearDown() override
    {
        mui::DisposeObject(std::move(application));
        ForgetGadgets();
    }

    qtview::Frontend frontend;
    mui::ObjectPtr application;
};

TEST_P(WindowFit, FitsA1366By768Screen)
{
    const LONG which = GetParam();
    mui::set(gWindows[which], MUIA_Window_Open, LONG{TRUE});
    QApplication::processEvents();
    QWidget* window = qtview::WidgetOf(gWindows[which]);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    // The least the window can be shrunk to, and the size it opens at.
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(least.width(), kScreenWidth) << WindowName(which);
    EXPECT_LE(least.height(), kScreenHeight) << WindowName(which);
    EXPECT_LE(window->frameGeometry().width(), kScreenWidth) << WindowName(which);
    EXPECT_LE(window->frameGeometry().height(), kScreenHeight) << WindowName(which);
}

std::vector<LONG> AllWindows()
{
    std::vector<LONG> windows;
    for (LONG window = 0; window < NUMBER_OF_WINDOWS; ++window)
        windows.push_back(window);
    return windows;
}

INSTANTIATE_TEST_SUITE_P(EachWindow, WindowFit, testing::ValuesIn(AllWindows()),
                         [](const testing::TestParamInfo<LONG>& info) {
                             std::string name;
                             for (const char* c = WindowName(info.param); c && *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

} // namespace
