// A small application for the object model's tests: one open window with a
// gadget of each kind, a second window that stays closed, and a menu strip.
#pragma once

#include "os/asl.h"
#include "mui/mui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace muitest {

// Records what a view is told, one line per call.
class RecordingView : public mui::ObjectView {
public:
    void AttributeChanged(mui::Object& object, Tag attribute) override
    {
        log.push_back(std::string("attr ") + mui::KindName(object.kind()) + " " + std::to_string(attribute));
    }
    void EntriesChanged(mui::Object& list) override { log.push_back(std::string("entries ") + mui::KindName(list.kind())); }
    void ObjectDisposed(mui::Object& object) override { log.push_back(std::string("disposed ") + mui::KindName(object.kind())); }
    std::vector<std::string> log;
};

// Takes every queued return ID without waiting.
inline std::vector<LONG> Drain(mui::Object* application)
{
    std::vector<LONG> ids;
    ULONG sigs = 0;
    for (LONG id = mui::Application_NewInput(application, sigs); id != 0; id = mui::Application_NewInput(application, sigs))
        ids.push_back(id);
    return ids;
}

constexpr LONG MEN_PROJECT = 1;
constexpr LONG MEN_ABOUT = 2;
constexpr LONG MEN_QUIT = 7;

class MuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearAslAnswers();
        auto take = [](mui::ObjectPtr object, mui::Object*& handle) {
            handle = object.get();
            return object;
        };
        std::vector<mui::ObjectPtr> gadgets;
        gadgets.push_back(take(mui::MakeButton("_Render"), button));
        gadgets.push_back(take(mui::MakeString("RAM:GreatVideo.avi", 8), string));
        gadgets.push_back(take(mui::MakeCycle({"one", "two", "three"}), cycle));
        gadgets.push_back(take(mui::MakeSlider(0, 100, 0), slider));
        gadgets.push_back(take(mui::MakeRadio({"Frame 1", "Frame 2"}), radio));
        gadgets.push_back(
            take(mui::MakePopasl(take(mui::MakeString("Music:old/tune.mp3"), popString), take(mui::MakePopButton(), popButton)),
                popasl));
        gadgets.push_back(take(mui::MakeNListview(take(mui::MakeNList({"A", "B", "C", "D"}), list)), listview));
        gadgets.push_back(take(mui::MakeNBitmap("NoVideoLoaded.png"), bitmap));
        gadgets.push_back(mui::MakeLabel("Title: "));
        gadgets.push_back(take(mui::MakeGroup(true, {}), emptyGroup));
        std::vector<mui::ObjectPtr> windows;
        windows.push_back(take(mui::MakeWindow("Main", mui::MakeGroup(false, std::move(gadgets))), window));
        std::vector<mui::ObjectPtr> otherGadgets;
        otherGadgets.push_back(take(mui::MakeButton("_OK!"), otherButton));
        windows.push_back(take(mui::MakeWindow("Other", mui::MakeGroup(false, std::move(otherGadgets))), otherWindow));
        application = mui::MakeApplication("Test", std::move(windows),
            mui::MakeMenustrip({{mui::NM_TITLE, "Project", MEN_PROJECT},
                {mui::NM_ITEM, "About", MEN_ABOUT},
                {mui::NM_ITEM, "Quit", MEN_QUIT},
                {mui::NM_END, "", 0}}));
        ASSERT_NE(application, nullptr);
        app = application.get();
        mui::set(window, MUIA_Window_Open, LONG{TRUE});
        ASSERT_EQ(window->GetLong(MUIA_Window_Open), TRUE);
    }

    void TearDown() override
    {
        mui::DisposeObject(std::move(application));
        mui::SetCreationFailure({});
        mui::SetApplicationHook({});
        ClearAslAnswers();
    }

    std::vector<LONG> Ids() { return Drain(app); }

    mui::ObjectPtr application;
    mui::Object* app = nullptr;
    mui::Object* window = nullptr;
    mui::Object* otherWindow = nullptr;
    mui::Object* otherButton = nullptr;
    mui::Object* button = nullptr;
    mui::Object* string = nullptr;
    mui::Object* cycle = nullptr;
    mui::Object* slider = nullptr;
    mui::Object* radio = nullptr;
    mui::Object* popasl = nullptr;
    mui::Object* popString = nullptr;
    mui::Object* popButton = nullptr;
    mui::Object* listview = nullptr;
    mui::Object* list = nullptr;
    mui::Object* bitmap = nullptr;
    mui::Object* emptyGroup = nullptr;
};

} // namespace muitest
