// Test helpers: croutons put into a project the way adding a crouton does
// (node, both list entries, a picture in its own image slot) without any
// file, and the program run with test steps at its waits.
#pragma once

#include "model/project.h"
#include "os/exec.h"
#include "gui/main.h"
#include "gui/windows.h"
#include "mui/mui.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Appends a crouton named `name` to the project and to both lists (when they
// exist). Its picture shows "NoImageAvailable.png" and belongs to the visual
// list.
Crouton* AppendTestCrouton(Project* project, const std::string& name);

// The croutons' names in project order.
std::vector<std::string> ProjectNames(Project* project);
// The image slot of each crouton, in project order.
std::vector<LONG> ProjectSlots(Project* project);
// The image slot of each visual entry, in list order.
std::vector<LONG> VisualSlots();
// The entries of a list.
std::vector<std::string> Entries(const mui::Object* list);
LONG Active(const mui::Object* list);

// Two free-standing lists installed as gCroutonList and gVisualList for the
// life of the object (no windows, no application).
class StandaloneLists {
public:
    StandaloneLists();
    ~StandaloneLists();
    StandaloneLists(const StandaloneLists&) = delete;
    StandaloneLists& operator=(const StandaloneLists&) = delete;

private:
    mui::ObjectPtr croutonList_;
    mui::ObjectPtr visualList_;
};

// Runs ClipweaverMain; each wait of its event loop runs the next step, which
// answers with the signals it returns. Once the steps are used up the run is
// ended with Ctrl-C.
using MainStep = std::function<ULONG()>;
int RunMainWithSteps(std::vector<MainStep> steps);
// A step that does something and lets the loop go on.
MainStep Act(std::function<void()> action);
// The step that presses Ctrl-C.
MainStep Break();
// The application of the running program.
mui::Object* App();
// The number of return IDs waiting.
std::size_t PendingIds();

// The program's application with its windows built, and a fresh project in
// gProject, as the program starts; both gone after each test.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_ = BuildApplication({});
        ASSERT_NE(app_, nullptr);
        gProject = NewProject();
    }
    void TearDown() override
    {
        DestroyProject(std::move(gProject));
        mui::DisposeObject(std::move(app_));
        ForgetGadgets();
    }

    mui::ObjectPtr app_;
};
