// The fixture of the crouton editor's tests: the windows, a new project
// holding one crouton whose file lies in a folder of its own, and no
// temporary stills left over.
#pragma once

#include "project_helper.h"

#include "gui/main.h"
#include "gui/windows.h"
#include "media/media_test_support.h"
#include "model/tables.h"
#include "os/dos.h"
#include "mui/mui.h"

#include <gtest/gtest.h>

#include <string>

class EditorFixture : public ::testing::Test {
protected:
    EditorFixture(std::string name, std::string filename)
        : name_(std::move(name)), filename_(std::move(filename))
    {
    }

    void SetUp() override
    {
        ASSERT_FALSE(folder_.path().empty());
        app_ = BuildApplication({});
        ASSERT_NE(app_, nullptr);
        gProject = NewProject();
        crouton_ = AppendTestCrouton(gProject.get(), name_);
        crouton_->directory = folder_.path();
        crouton_->filename = filename_;
        DeleteTemporaryStills();
    }
    void TearDown() override
    {
        DeleteTemporaryStills();
        DestroyProject(std::move(gProject));
        mui::DisposeObject(std::move(app_));
        ForgetGadgets();
    }
    std::string CroutonFile() const { return folder_ / filename_; }

    media_test::TempFolder folder_;
    mui::ObjectPtr app_;
    Crouton* crouton_ = nullptr;

private:
    static void DeleteTemporaryStills()
    {
        for (const char* still : cTemporaryPreviewFilename)
            DeleteFile(still);
    }

    std::string name_;
    std::string filename_;
};
