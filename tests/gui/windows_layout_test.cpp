// The windows as BuildApplication makes them: every slot made in its window
// and found by its name, texts a person can tell apart, keys that reach one
// button each, choices with entries, ranges that hold their values, the
// About window and the menu strip.
#include "gui/help.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/question.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using mui::Kind;
using mui::Object;

// Only the About window's row shows texts; ClipweaverBasic has none.
[[maybe_unused]] std::string Shown(std::string text)
{
    std::string shown;
    for (char c : text) {
        if (c == '\x1b')
            shown += "\\e";
        else if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return shown;
}

std::vector<std::string> Entries(const auto& table)
{
    std::vector<std::string> entries;
    for (const char* entry : table) {
        if (entry == nullptr)
            break;
        entries.emplace_back(entry);
    }
    return entries;
}

void CollectKinds(const Object& object, Kind kind, std::vector<const Object*>& found)
{
    if (object.kind() == kind)
        found.push_back(&object);
    for (const auto& child : object.children())
        CollectKinds(*child, kind, found);
}

std::vector<const Object*> AllOfKind(const Object* root, Kind kind)
{
    std::vector<const Object*> found;
    if (root)
        CollectKinds(*root, kind, found);
    return found;
}

// Calls `visit` on the object and on everything below it, parents first.
void Walk(const Object& object, const std::function<void(const Object&)>& visit)
{
    visit(object);
    for (const auto& child : object.children())
        Walk(*child, visit);
}

bool Holds(const Object* root, const Object* target)
{
    bool found = false;
    if (root)
        Walk(*root, [&found, target](const Object& object) { found = found || &object == target; });
    return found;
}

// A text as a person reads it: without the layout escapes ("\el"), the
// shortcut's underscore and the blanks and colons around it.
std::string Readable(const std::string& text)
{
    std::string readable;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b') {
            ++i;
            continue;
        }
        if (text[i] != '_')
            readable += text[i];
    }
    const auto first = readable.find_first_not_of(" :");
    const auto last = readable.find_last_not_of(" :");
    return first == std::string::npos ? std::string() : readable.substr(first, last - first + 1);
}

// The windows and the prefix of the slot names each one holds.
struct WindowRow {
    LONG window;
    const char* slotPrefix;
};
const std::vector<WindowRow> kWindowRows = {
    {WINDOW_MAIN, "BUTTON_MAIN_"},
    {WINDOW_CROUTONEDITOR, "BUTTON_CROUTONEDITOR_"},
#ifndef CLIPWEAVER_BASIC
    {WINDOW_ABOUT, "BUTTON_ABOUT_"},
#endif
};

// The keys a window's buttons answer to, each with the buttons that take it.
std::map<std::string, std::vector<std::string>> ButtonKeys(const Object* window)
{
    std::map<std::string, std::vector<std::string>> keys;
    for (const Object* button : AllOfKind(window, Kind::Button))
        if (auto key = button->GetString(MUIA_ControlChar))
            keys[*key].push_back(button->GetString(MUIA_Text_Contents).value_or("?"));
    return keys;
}

// The keys more than one button takes, shown as "n: _New Crouton, _New Project".
std::vector<std::string> SharedKeys(const Object* window)
{
    std::vector<std::string> shared;
    for (const auto& [key, buttons] : ButtonKeys(window)) {
        if (buttons.size() < 2)
            continue;
        std::string line = key + ":";
        for (const std::string& button : buttons)
            line += " " + button;
        shared.push_back(line);
    }
    return shared;
}

class WindowsLayout : public testing::Test {
protected:
    void SetUp() override
    {
        app = BuildApplication(croutonStrings);
        ASSERT_NE(app, nullptr);
    }
    void TearDown() override
    {
        mui::DisposeObject(std::move(app));
        ForgetGadgets();
    }

    const std::vector<std::string> croutonStrings = {"Opening shot", "Harbour", "Credits"};
    mui::ObjectPtr app;
};

// Code reaches each gadget through its slot and the script driver through
// the slot's name: every slot is made, lies in the window its name says,
// hangs in that window's tree (so it is shown), and holds a gadget of its own.
TEST_F(WindowsLayout, EverySlotIsMadeInItsWindowAndFoundByItsName)
{
    std::set<const Object*> seen;
    for (LONG slot = 0; slot < ALL_BUTTON_SLOTS; ++slot) {
        const char* name = HexButtonName(slot);
        ASSERT_NE(name, nullptr) << slot;
        SCOPED_TRACE(name);
        EXPECT_EQ(HexButtonFromName(name), slot);
        // The output name is chosen with its "_Browse..." button instead.
        if (slot == BUTTON_MAIN_OUTPUTFILENAME_POPUP) {
            EXPECT_EQ(gButtons[slot], nullptr);
            continue;
        }
        Object* gadget = gButtons[slot];
        ASSERT_NE(gadget, nullptr);
        EXPECT_TRUE(seen.insert(gadget).second) << "a gadget in two slots";
        const WindowRow* home = nullptr;
        for (const WindowRow& row : kWindowRows)
            if (std::string_view(name).starts_with(row.slotPrefix))
                home = &row;
        ASSERT_NE(home, nullptr) << "a slot of no window";
        Object* window = gWindows[home->window];
        EXPECT_EQ(gadget->window(), window);
        EXPECT_TRUE(Holds(window, gadget)) << "not in its window's tree";
        EXPECT_EQ(gadget->application(), app.get());
    }
}

// Beside each other, two labels alike or two buttons alike can't be told
// apart.
TEST_F(WindowsLayout, LabelsAndButtonsAreUniqueWithinEachGroup)
{
    for (const Object* group : AllOfKind(app.get(), Kind::Group)) {
        std::map<std::string, int> texts;
        for (const auto& child : group->children()) {
            if (child->kind() != Kind::Label && child->kind() != Kind::Text && child->kind() != Kind::Button)
                continue;
            const std::string text = Readable(child->GetString(MUIA_Text_Contents).value_or(""));
            if (!text.empty())
                ++texts[text];
        }
        for (const auto& [text, count] : texts)
            EXPECT_EQ(count, 1) << "\"" << text << "\" " << count << " times in one group";
    }
}

// Every button says what it does, and a key reaches each of them.
TEST_F(WindowsLayout, EveryButtonHasALabelAndAKey)
{
    for (const Object* button : AllOfKind(app.get(), Kind::Button)) {
        const std::string label = button->GetString(MUIA_Text_Contents).value_or("");
        EXPECT_FALSE(Readable(label).empty()) << "a button without a label";
        EXPECT_TRUE(button->GetString(MUIA_ControlChar)) << label << " has no key";
    }
}

// A key taken by two buttons of one window presses only one of them.
TEST_F(WindowsLayout, ButtonKeysAreUniqueInTheEditor)
{
    EXPECT_EQ(SharedKeys(gWindows[WINDOW_CROUTONEDITOR]), std::vector<std::string>{});
#ifndef CLIPWEAVER_BASIC
    EXPECT_EQ(SharedKeys(gWindows[WINDOW_ABOUT]), std::vector<std::string>{});
#endif
}

TEST_F(WindowsLayout, ButtonKeysAreUniqueInTheMainWindow)
{
    // The two New buttons have shared N since the first layout, in two
    // groups of their own (Alt+N moves between them); no other key may.
    std::vector<std::string> shared = SharedKeys(gWindows[WINDOW_MAIN]);
    std::erase(shared, "n: _New Crouton _New Project");
    EXPECT_EQ(shared, std::vector<std::string>{});
}

// A cycle or radio of one entry offers no choice; each entry says what it
// is, once, and the gadget starts on one of them.
TEST_F(WindowsLayout, EveryCycleAndRadioOffersChoices)
{
    for (Kind kind : {Kind::Cycle, Kind::Radio}) {
        for (const Object* choice : AllOfKind(app.get(), kind)) {
            SCOPED_TRACE(mui::KindName(kind));
            const auto& entries = choice->entries();
            EXPECT_GE(entries.size(), 2u);
            EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), entries.size())
                << "an entry twice";
            for (const std::string& entry : entries)
                EXPECT_FALSE(Readable(entry).empty());
            const LONG active = choice->GetLong(kind == Kind::Cycle ? MUIA_Cycle_Active : MUIA_Radio_Active);
            EXPECT_GE(active, 0);
            EXPECT_LT(active, static_cast<LONG>(entries.size()));
        }
    }
}

// A slider spans a range and starts inside it.
TEST_F(WindowsLayout, EverySliderStartsInsideItsRange)
{
    for (const Object* slider : AllOfKind(app.get(), Kind::Slider)) {
        const LONG least = slider->GetLong(MUIA_Numeric_Min);
        const LONG most = slider->GetLong(MUIA_Numeric_Max);
        const LONG value = slider->GetLong(MUIA_Numeric_Value);
        EXPECT_LT(least, most);
        EXPECT_GE(value, least);
        EXPECT_LE(value, most);
    }
}

// A field holds what it starts with, and a field that takes a path has room
// for the longest one the host takes.
TEST_F(WindowsLayout, EveryFieldHoldsItsTextAndPathsFitWhole)
{
    for (const Object* field : AllOfKind(app.get(), Kind::String)) {
        const LONG room = field->GetLong(MUIA_String_MaxLen);
        EXPECT_GT(room, 0);
        EXPECT_LT(static_cast<LONG>(field->GetString(MUIA_String_Contents).value_or("").size()), room);
    }
    for (HexButtons path : {BUTTON_MAIN_OUTPUTFILENAME, BUTTON_MAIN_SOUNDTRACK, BUTTON_CROUTONEDITOR_VIDEO_FILENAME,
                            BUTTON_CROUTONEDITOR_SOUNDTRACK})
        EXPECT_GE(mui::XGetLong(gButtons[path], MUIA_String_MaxLen), 4096) << HexButtonName(path);
}

// Each picture a window shows at start is one the program ships beside it
// (the tests run in such a folder).
TEST_F(WindowsLayout, EveryPictureShownIsShipped)
{
    const auto pictures = AllOfKind(app.get(), Kind::NBitmap);
    ASSERT_FALSE(pictures.empty());
    for (const Object* picture : pictures) {
        const std::string file = picture->GetString(MUIA_NBitmap_Normal).value_or("");
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(CW_TEST_RUN_DIR) / file)) << file;
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(CW_SOURCE_DIR) / "data" / file)) << file;
    }
}

// What each slot holds when the windows are new, slot by slot.
struct SlotStart {
    LONG slot;
    Kind kind;
    LONG window;
    std::optional<std::string> text; // button or label text, string contents, image file
    bool disabled = false;
};

TEST_F(WindowsLayout, EverySlotHoldsItsGadgetWithItsStartingState)
{
    const std::string noVideo = "NoVideoLoaded.png";
    const std::vector<SlotStart> table = {
#ifndef CLIPWEAVER_BASIC
        {BUTTON_ABOUT_OK, Kind::Button, WINDOW_ABOUT, "_OK!"},
#endif
        {BUTTON_CROUTONEDITOR_CANCEL, Kind::Button, WINDOW_CROUTONEDITOR, "_Cancel"},
        {BUTTON_CROUTONEDITOR_SAVE, Kind::Button, WINDOW_CROUTONEDITOR, "_Save"},
        {BUTTON_CROUTONEDITOR_TITLE, Kind::String, WINDOW_CROUTONEDITOR, ""},
        {BUTTON_CROUTONEDITOR_LOADVIDEO, Kind::Button, WINDOW_CROUTONEDITOR, "_Load"},
        {BUTTON_CROUTONEDITOR_IMAGE, Kind::NBitmap, WINDOW_CROUTONEDITOR, noVideo},
        {BUTTON_CROUTONEDITOR_IMAGE2, Kind::NBitmap, WINDOW_CROUTONEDITOR, noVideo},
        {BUTTON_CROUTONEDITOR_IMAGE3, Kind::NBitmap, WINDOW_CROUTONEDITOR, noVideo},
        {BUTTON_CROUTONEDITOR_IMAGE4, Kind::NBitmap, WINDOW_CROUTONEDITOR, noVideo},
        {BUTTON_CROUTONEDITOR_IMAGE5, Kind::NBitmap, WINDOW_CROUTONEDITOR, noVideo},
        {BUTTON_CROUTONEDITOR_GENERATEPREVIEW, Kind::Button, WINDOW_CROUTONEDITOR, "_Generate Preview"},
        {BUTTON_CROUTONEDITOR_START, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_END, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_VIDEO_FILENAME, Kind::String, WINDOW_CROUTONEDITOR, ""},
        {BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP, Kind::PopButton, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_MPLAYER, Kind::Button, WINDOW_CROUTONEDITOR, "_Run MPlayer"},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER1, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER2, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER3, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER4, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_PREVIEWSLIDER5, Kind::Slider, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_PREVIEWSELECTER, Kind::Radio, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_SOUNDTRACK, Kind::String, WINDOW_CROUTONEDITOR, ""},
        {BUTTON_CROUTONEDITOR_FPS_CYCLER, Kind::Cycle, WINDOW_CROUTONEDITOR, std::nullopt},
        {BUTTON_CROUTONEDITOR_CUSTOMFPS, Kind::String, WINDOW_CROUTONEDITOR, "30", true},
        {BUTTON_MAIN_RENDER, Kind::Button, WINDOW_MAIN, "_Render"},
        {BUTTON_MAIN_OUTPUTFILENAME, Kind::String, WINDOW_MAIN, "RAM:GreatVideo.avi"},
        {BUTTON_MAIN_SAVE, Kind::Button, WINDOW_MAIN, "_Save Project"},
        {BUTTON_MAIN_CROUTONLIST, Kind::NListview, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_QUIT, Kind::Button, WINDOW_MAIN, "_Quit"},
        {BUTTON_MAIN_WIDTH, Kind::String, WINDOW_MAIN, "320", true},
        {BUTTON_MAIN_HEIGHT, Kind::String, WINDOW_MAIN, "240", true},
        {BUTTON_MAIN_NEW, Kind::Button, WINDOW_MAIN, "_New Project"},
        {BUTTON_MAIN_EDITCROUTON, Kind::Button, WINDOW_MAIN, "_Edit Crouton"},
        {BUTTON_MAIN_DELETECROUTON, Kind::Button, WINDOW_MAIN, "_Delete Crouton"},
        {BUTTON_MAIN_PROJECTNAME, Kind::String, WINDOW_MAIN, "New Project"},
        {BUTTON_MAIN_LOAD, Kind::Button, WINDOW_MAIN, "_Load Project"},
        {BUTTON_MAIN_ADDCROUTON, Kind::Button, WINDOW_MAIN, "_Add Crouton"},
        {BUTTON_MAIN_NEWCROUTON, Kind::Button, WINDOW_MAIN, "_New Crouton"},
        {BUTTON_MAIN_LENGTH, Kind::Label, WINDOW_MAIN, "\x1b" "l------ Seconds"},
        {BUTTON_MAIN_PREVIEWIMAGE, Kind::NBitmap, WINDOW_MAIN, noVideo},
        {BUTTON_MAIN_PREVIEWIMAGE2, Kind::NBitmap, WINDOW_MAIN, noVideo},
        {BUTTON_MAIN_PREVIEWIMAGE3, Kind::NBitmap, WINDOW_MAIN, noVideo},
        {BUTTON_MAIN_PREVIEWIMAGE4, Kind::NBitmap, WINDOW_MAIN, noVideo},
        {BUTTON_MAIN_PREVIEWIMAGE5, Kind::NBitmap, WINDOW_MAIN, noVideo},
        {BUTTON_MAIN_UP, Kind::Button, WINDOW_MAIN, "_Up"},
        {BUTTON_MAIN_DOWN, Kind::Button, WINDOW_MAIN, "D_own"},
        {BUTTON_MAIN_VISUALLIST, Kind::NListview, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_CROUTON_WIDTH, Kind::Label, WINDOW_MAIN, "\x1b" "l--------"},
        {BUTTON_MAIN_CROUTON_HEIGHT, Kind::Label, WINDOW_MAIN, "\x1b" "l--------"},
        {BUTTON_MAIN_CROUTON_VIDEOBITRATE, Kind::Label, WINDOW_MAIN, "\x1b" "l-------- bps"},
        {BUTTON_MAIN_CROUTON_AUDIOBITRATE, Kind::Label, WINDOW_MAIN, "\x1b" "l-------- bps"},
        {BUTTON_MAIN_CROUTON_RATIO, Kind::Label, WINDOW_MAIN, "\x1b" "l----------"},
        {BUTTON_MAIN_CROUTON_FPS, Kind::Label, WINDOW_MAIN, "\x1b" "l--------- fps"},
        {BUTTON_MAIN_CROUTON_VIDEOCODEC, Kind::Label, WINDOW_MAIN, "\x1b" "l--NO CODEC--"},
        {BUTTON_MAIN_CROUTON_AUDIOCODEC, Kind::Label, WINDOW_MAIN, "\x1b" "l--NO CODEC--"},
        {BUTTON_MAIN_SOUNDTRACK, Kind::String, WINDOW_MAIN, ""},
        {BUTTON_MAIN_SOUNDTRACK_POPUP, Kind::PopButton, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_FORMAT_CYCLER, Kind::Cycle, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_BAUDRATE_CYCLER, Kind::Cycle, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_FPS_CYCLER, Kind::Cycle, WINDOW_MAIN, std::nullopt},
        {BUTTON_MAIN_CUSTOMFPS, Kind::String, WINDOW_MAIN, "30", true},
    };
    // Every slot but the output name's pop-up button, which is never made.
    ASSERT_EQ(table.size(), static_cast<std::size_t>(MAIN_NUMBER_OF_BUTTONS - 1));
    EXPECT_EQ(gButtons[BUTTON_MAIN_OUTPUTFILENAME_POPUP], nullptr);

    for (const SlotStart& start : table) {
        SCOPED_TRACE(HexButtonName(start.slot));
        Object* gadget = gButtons[start.slot];
        ASSERT_NE(gadget, nullptr);
        EXPECT_EQ(gadget->kind(), start.kind) << mui::KindName(gadget->kind());
        EXPECT_EQ(gadget->window(), gWindows[start.window]);
        EXPECT_EQ(gadget->application(), app.get());
        EXPECT_EQ(mui::XGetLong(gadget, MUIA_Disabled) != FALSE, start.disabled);
        std::optional<std::string> text;
        switch (start.kind) {
        case Kind::Button:
        case Kind::Label: text = mui::XGetString(gadget, MUIA_Text_Contents); break;
        case Kind::String: text = mui::XGetString(gadget, MUIA_String_Contents); break;
        case Kind::NBitmap:
            text = mui::XGetString(gadget, MUIA_NBitmap_Normal);
            EXPECT_EQ(mui::XGetLong(gadget, MUIA_NBitmap_Type), 0);
            break;
        default: break;
        }
        EXPECT_EQ(text, start.text);
    }
}

TEST_F(WindowsLayout, WindowsHaveTheirTitlesAndStayClosed)
{
    EXPECT_EQ(mui::XGetString(gWindows[WINDOW_MAIN], MUIA_Window_Title), "Clipweaver    0.8");
    EXPECT_EQ(mui::XGetString(gWindows[WINDOW_CROUTONEDITOR], MUIA_Window_Title), "Clipweaver Crouton Editor");
    for (Object* window : gWindows) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->kind(), Kind::Window);
        EXPECT_EQ(window->parent(), app.get());
        EXPECT_EQ(mui::XGetLong(window, MUIA_Window_Open), FALSE);
    }
}

TEST_F(WindowsLayout, ApplicationHoldsAboutEditorAndMainInThatOrder)
{
    EXPECT_EQ(app->kind(), Kind::Application);
    std::vector<const Object*> windows;
    for (const auto& child : app->children())
        if (child->kind() == Kind::Window)
            windows.push_back(child.get());
#ifndef CLIPWEAVER_BASIC
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(windows[0], gWindows[WINDOW_ABOUT]);
    EXPECT_EQ(windows[1], gWindows[WINDOW_CROUTONEDITOR]);
    EXPECT_EQ(windows[2], gWindows[WINDOW_MAIN]);
    EXPECT_EQ(AllOfKind(app.get(), Kind::Menustrip).size(), 1u);
#else
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], gWindows[WINDOW_CROUTONEDITOR]);
    EXPECT_EQ(windows[1], gWindows[WINDOW_MAIN]);
    EXPECT_TRUE(AllOfKind(app.get(), Kind::Menustrip).empty());
    EXPECT_TRUE(AllOfKind(app.get(), Kind::Menuitem).empty());
#endif
}

// Building installs no notification: main does that afterwards, in its order.
TEST_F(WindowsLayout, NothingIsWiredYet)
{
    for (Kind kind : {Kind::Application, Kind::Window, Kind::Group, Kind::Button, Kind::String,
                      Kind::Cycle, Kind::Slider, Kind::Radio, Kind::NList, Kind::NListview,
                      Kind::PopButton, Kind::Popasl, Kind::NBitmap, Kind::Label, Kind::Text}) {
        for (const Object* object : AllOfKind(app.get(), kind))
            EXPECT_TRUE(object->notifications().empty()) << mui::KindName(kind);
    }
    EXPECT_TRUE(app->returnIds().empty());
}

TEST_F(WindowsLayout, ListsTakeTheFirstCroutonNames)
{
    ASSERT_NE(gCroutonList, nullptr);
    ASSERT_NE(gVisualList, nullptr);
    EXPECT_EQ(gCroutonList->kind(), Kind::NList);
    EXPECT_EQ(gVisualList->kind(), Kind::NList);
    EXPECT_EQ(gCroutonList->entries(), croutonStrings);
    EXPECT_EQ(mui::XGetLong(gCroutonList, MUIA_NList_Entries), 3);
    EXPECT_EQ(mui::XGetLong(gCroutonList, MUIA_NList_Active), MUIV_NList_Active_Off);
    EXPECT_TRUE(gVisualList->entries().empty());
    EXPECT_EQ(gCroutonList->parent(), gButtons[BUTTON_MAIN_CROUTONLIST]);
    EXPECT_EQ(gVisualList->parent(), gButtons[BUTTON_MAIN_VISUALLIST]);
    EXPECT_EQ(mui::NList_GetEntry(gButtons[BUTTON_MAIN_CROUTONLIST], 2), "Credits");
}

TEST_F(WindowsLayout, CyclersAndRadioShowTheTables)
{
    EXPECT_EQ(gButtons[BUTTON_MAIN_FORMAT_CYCLER]->entries(), Entries(cFormatStrings));
    EXPECT_EQ(gButtons[BUTTON_MAIN_BAUDRATE_CYCLER]->entries(), Entries(cBaudStrings));
    EXPECT_EQ(gButtons[BUTTON_MAIN_FPS_CYCLER]->entries(), Entries(cFPSStrings));
    EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_FPS_CYCLER]->entries(), Entries(cCroutonEditorFPSStrings));
    const std::vector<std::string> frames = {"Frame 1", "Frame 2", "Frame 3", "Frame 4", "Frame 5"};
    EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_PREVIEWSELECTER]->entries(), frames);
    // The first entries match a new project's format, bit rate and rate.
    for (HexButtons cycler : {BUTTON_MAIN_FORMAT_CYCLER, BUTTON_MAIN_BAUDRATE_CYCLER, BUTTON_MAIN_FPS_CYCLER,
                              BUTTON_CROUTONEDITOR_FPS_CYCLER})
        EXPECT_EQ(mui::XGetLong(gButtons[cycler], MUIA_Cycle_Active), 0) << HexButtonName(cycler);
}

// Three file fields, each with the shortcut "o" and room for 256 characters;
// the output name has none.
TEST_F(WindowsLayout, FileFieldsAndTheirPopUpButtons)
{
    const auto fields = AllOfKind(app.get(), Kind::Popasl);
    ASSERT_EQ(fields.size(), 3u);
    int inEditor = 0;
    for (const Object* field : fields) {
        ASSERT_EQ(field->children().size(), 2u);
        const Object* string = field->children()[0].get();
        const Object* button = field->children()[1].get();
        EXPECT_EQ(string->kind(), Kind::String);
        EXPECT_EQ(button->kind(), Kind::PopButton);
        EXPECT_EQ(string->GetString(MUIA_ControlChar), "o");
        EXPECT_EQ(string->GetLong(MUIA_String_MaxLen), 4096);
        if (const_cast<Object*>(field)->window() == gWindows[WINDOW_CROUTONEDITOR])
            ++inEditor;
    }
    EXPECT_EQ(inEditor, 2);
    EXPECT_EQ(gButtons[BUTTON_MAIN_SOUNDTRACK]->parent(), gButtons[BUTTON_MAIN_SOUNDTRACK_POPUP]->parent());
    EXPECT_EQ(gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME]->parent(),
              gButtons[BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP]->parent());
    EXPECT_EQ(gButtons[BUTTON_MAIN_OUTPUTFILENAME]->parent()->kind(), Kind::Group);

    // The editor's soundtrack pop-up button is in no slot.
    const Object* editorSoundtrack = gButtons[BUTTON_CROUTONEDITOR_SOUNDTRACK]->parent();
    ASSERT_EQ(editorSoundtrack->kind(), Kind::Popasl);
    const Object* unslotted = editorSoundtrack->children()[1].get();
    for (Object* slot : gButtons)
        EXPECT_NE(slot, unslotted);
}

TEST_F(WindowsLayout, OnlyTheSecondEditorPreviewHasAFixedHeight)
{
    const HexButtons images[] = {BUTTON_CROUTONEDITOR_IMAGE, BUTTON_CROUTONEDITOR_IMAGE2, BUTTON_CROUTONEDITOR_IMAGE3,
                                 BUTTON_CROUTONEDITOR_IMAGE4, BUTTON_CROUTONEDITOR_IMAGE5};
    for (HexButtons image : images) {
        const bool second = image == BUTTON_CROUTONEDITOR_IMAGE2;
        EXPECT_EQ(gButtons[image]->Has(MUIA_FixHeight), second) << HexButtonName(image);
    }
    EXPECT_EQ(mui::XGetLong(gButtons[BUTTON_CROUTONEDITOR_IMAGE2], MUIA_FixHeight), 120);
}

// Start-up sets the end slider to 100 once the tree stands; building leaves
// both time sliders at the bottom of a 0..100 range.
TEST_F(WindowsLayout, TimeSlidersWaitForTheCrouton)
{
    for (HexButtons slider : {BUTTON_CROUTONEDITOR_START, BUTTON_CROUTONEDITOR_END}) {
        EXPECT_EQ(mui::XGetLong(gButtons[slider], MUIA_Numeric_Value), 0);
        EXPECT_EQ(mui::XGetLong(gButtons[slider], MUIA_Numeric_Max), 100);
    }
    mui::set(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value, LONG{100});
    EXPECT_EQ(mui::XGetLong(gButtons[BUTTON_CROUTONEDITOR_END], MUIA_Numeric_Value), 100);
    EXPECT_TRUE(app->returnIds().empty());
}

TEST(WindowsLayoutAlone, AnEmptyProjectGivesEmptyLists)
{
    mui::ObjectPtr app = BuildApplication({});
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(gCroutonList->entries().empty());
    EXPECT_EQ(mui::XGetLong(gCroutonList, MUIA_NList_Entries), 0);
    EXPECT_TRUE(gVisualList->entries().empty());
    mui::DisposeObject(std::move(app));
    ForgetGadgets();
}

TEST(WindowsLayoutAlone, HelpOpensTheInstalledManual)
{
    // An installed layout: the program in libexec/clipweaver, the manual in
    // share/doc/clipweaver.
    const std::filesystem::path prefix = std::filesystem::temp_directory_path() / "cw_help_prefix";
    std::filesystem::remove_all(prefix);
    std::filesystem::create_directories(prefix / "libexec/clipweaver");
    std::filesystem::create_directories(prefix / "share/doc/clipweaver");
    EXPECT_EQ(InstalledManual((prefix / "libexec/clipweaver").string()), std::nullopt);
    std::ofstream(prefix / "share/doc/clipweaver/manual.html") << "<html></html>\n";
    EXPECT_EQ(InstalledManual((prefix / "libexec/clipweaver").string()),
              (prefix / "share/doc/clipweaver/manual.html").string());
    std::filesystem::remove_all(prefix);

    // Detached, the path one argument whatever it holds.
    const std::string manual = "/opt/my docs/\"odd\" *name.html";
    ParsedCommand parsed;
    ASSERT_TRUE(ParseCommandLine(DesktopOpenCommand(manual), parsed));
    EXPECT_TRUE(parsed.detached);
    EXPECT_EQ(parsed.name, "xdg-open");
    EXPECT_EQ(parsed.arguments, std::vector<std::string>{manual});

    // The test program has no manual beside it: the user is told, nothing runs.
    std::vector<std::string> ran;
    SetCommandHook([&ran](std::string_view line) -> std::optional<LONG> {
        ran.emplace_back(line);
        return 0;
    });
    ClearToldLog();
    EXPECT_EQ(OpenManual(), FALSE);
    SetCommandHook({});
    EXPECT_TRUE(ran.empty());
    ASSERT_EQ(ToldLog().size(), 1u);
    EXPECT_NE(ToldLog()[0].text.find("not installed"), std::string::npos);
}

TEST(WindowsLayoutAlone, ForgetGadgetsClearsEveryHandle)
{
    mui::ObjectPtr app = BuildApplication({"One"});
    ASSERT_NE(app, nullptr);
    ASSERT_NE(gButtons[BUTTON_MAIN_RENDER], nullptr);
    mui::DisposeObject(std::move(app));
    ForgetGadgets();
    for (Object* slot : gButtons)
        EXPECT_EQ(slot, nullptr);
    for (Object* window : gWindows)
        EXPECT_EQ(window, nullptr);
    EXPECT_EQ(gCroutonList, nullptr);
    EXPECT_EQ(gVisualList, nullptr);
}

#ifndef CLIPWEAVER_BASIC
TEST_F(WindowsLayout, AboutWindowWelcomesAndThanks)
{
    Object* about = gWindows[WINDOW_ABOUT];
    ASSERT_NE(about, nullptr);
    const auto title = mui::XGetString(about, MUIA_Window_Title);
    ASSERT_TRUE(title);
    EXPECT_FALSE(title->empty());
    EXPECT_EQ(title->find('\n'), std::string::npos);

    ASSERT_EQ(about->children().size(), 1u);
    const Object* root = about->children()[0].get();
    EXPECT_EQ(root->kind(), Kind::Group);
    EXPECT_FALSE(root->GetLong(MUIA_Group_Horiz));
    ASSERT_EQ(root->children().size(), 2u);
    const Object* text = root->children()[0].get();
    EXPECT_EQ(text->kind(), Kind::Text);
    EXPECT_EQ(root->children()[1].get(), gButtons[BUTTON_ABOUT_OK]);

    const std::string contents = text->GetString(MUIA_Text_Contents).value_or("");
    // Eight lines, the empty ones where they belong, and a closing line break.
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(contents);
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 8u) << Shown(contents);
    EXPECT_EQ(lines[0], "\x1b" "cWelcome to Clipweaver!");
    EXPECT_TRUE(lines[1].empty());
    EXPECT_FALSE(lines[2].empty());
    EXPECT_TRUE(lines[3].empty());
    EXPECT_FALSE(lines[4].empty());
    EXPECT_TRUE(lines[5].empty());
    EXPECT_FALSE(lines[6].empty());
    EXPECT_FALSE(lines[7].empty());
    EXPECT_EQ(contents.back(), '\n');

    // The About window points to the program's own help, never to a site.
    for (const std::string& shown : {contents, *title}) {
        for (const char* address : {"http", "www", ".com", ".org", ".net", "@"})
            EXPECT_EQ(shown.find(address), std::string::npos) << address << " in " << Shown(shown);
    }
    // The installed manual, not README.md, which is not installed.
    EXPECT_NE(contents.find("man clipweaver"), std::string::npos);
    EXPECT_EQ(contents.find("README.md"), std::string::npos);
}

TEST_F(WindowsLayout, MenuStripOffersTheProjectMenu)
{
    const auto strips = AllOfKind(app.get(), Kind::Menustrip);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0]->parent(), app.get());
    // The Project menu, then the Edit menu with Undo and Redo, then the rest.
    ASSERT_EQ(strips[0]->children().size(), 5u);
    const Object* menu = strips[0]->children()[0].get();
    EXPECT_EQ(menu->kind(), Kind::Menu);
    EXPECT_EQ(menu->GetString(MUIA_Menu_Title), "Project");
    EXPECT_EQ(menu->GetLong(MUIA_UserData), MEN_PROJECT);

    // Each with the key people expect, shown in the menu.
    struct Row {
        std::string title;
        LONG id;
        std::optional<std::string> key;
    };
    const std::vector<Row> items = {
        {"New Project", MEN_NEW_PROJECT, "Ctrl+N"}, {"Load Project...", MEN_LOAD_PROJECT, "Ctrl+O"},
        {"Save Project", MEN_SAVE_PROJECT, "Ctrl+S"}, {"Save Project As...", MEN_SAVE_PROJECT_AS, "Ctrl+Shift+S"},
        {"Render!", MEN_RENDER, "Ctrl+R"}, {"Preview Project", MEN_PREVIEW_PROJECT, "Ctrl+P"},
        {"Empty Kept Pieces", MEN_EMPTY_PIECES, std::nullopt},
        {"Keep Rendered Pieces On/Off", MEN_KEEP_PIECES, std::nullopt},
        {"About", MEN_ABOUT, std::nullopt}, {"Quit", MEN_QUIT, "Ctrl+Q"},
    };
    ASSERT_EQ(menu->children().size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Object* item = menu->children()[i].get();
        EXPECT_EQ(item->kind(), Kind::Menuitem);
        EXPECT_EQ(item->GetString(MUIA_Menuitem_Title), items[i].title);
        EXPECT_EQ(item->GetLong(MUIA_UserData), items[i].id);
        EXPECT_EQ(item->GetString(MUIA_Menuitem_Shortcut), items[i].key);
        EXPECT_FALSE(item->GetLong(MUIA_Disabled));
    }
    const Object* edit = strips[0]->children()[1].get();
    EXPECT_EQ(edit->GetString(MUIA_Menu_Title), "Edit");
    const std::vector<std::tuple<std::string, LONG, std::string>> editItems = {
        {"Undo", MEN_UNDO, "Ctrl+Z"}, {"Redo", MEN_REDO, "Ctrl+Shift+Z"},
    };
    ASSERT_EQ(edit->children().size(), editItems.size());
    for (std::size_t i = 0; i < editItems.size(); ++i) {
        const Object* item = edit->children()[i].get();
        EXPECT_EQ(item->GetString(MUIA_Menuitem_Title), std::get<0>(editItems[i]));
        EXPECT_EQ(item->GetLong(MUIA_UserData), std::get<1>(editItems[i]));
        EXPECT_EQ(item->GetString(MUIA_Menuitem_Shortcut), std::get<2>(editItems[i]));
    }
    // Delete works in the lists, F1 anywhere.
    EXPECT_EQ(mui::FindMenuObject(app.get(), MEN_DELETE_CROUTON)->GetString(MUIA_Menuitem_Shortcut), "Del");
    EXPECT_EQ(mui::FindMenuObject(app.get(), MEN_HELP)->GetString(MUIA_Menuitem_Shortcut), "F1");
}

// The loop tells items apart by their identifiers and a key chooses one
// item: neither may be shared, and every item is named by the script
// driver's vocabulary.
TEST_F(WindowsLayout, MenuItemsHaveTheirOwnIdentifiersAndKeys)
{
    std::map<LONG, int> identifiers;
    std::map<std::string, std::vector<std::string>> keys;
    for (Kind kind : {Kind::Menu, Kind::Menuitem}) {
        for (const Object* item : AllOfKind(app.get(), kind)) {
            const LONG id = item->GetLong(MUIA_UserData);
            EXPECT_GT(id, 0);
            ++identifiers[id];
            const char* name = MenuName(id);
            ASSERT_NE(name, nullptr) << id;
            EXPECT_EQ(MenuFromName(name), id) << name;
            if (kind != Kind::Menuitem)
                continue;
            const std::string title = item->GetString(MUIA_Menuitem_Title).value_or("");
            const bool recent = id >= MEN_RECENT_FIRST && id <= MEN_RECENT_LAST; // titled by the projects
            EXPECT_TRUE(recent || !title.empty()) << name;
            if (auto key = item->GetString(MUIA_Menuitem_Shortcut); key && !key->empty())
                keys[*key].push_back(title);
        }
    }
    for (const auto& [id, count] : identifiers)
        EXPECT_EQ(count, 1) << MenuName(id) << " on " << count << " items";
    for (const auto& [key, items] : keys)
        EXPECT_EQ(items.size(), 1u) << key << " chooses " << items.size() << " items";
    EXPECT_FALSE(keys.empty());
}

// Choosing an item hands its identifier to the loop once the main window
// shows the menu strip.
TEST_F(WindowsLayout, ChoosingAMenuItemQueuesItsIdentifier)
{
    EXPECT_FALSE(mui::UserChooseMenu(app.get(), MEN_RENDER)); // no window open yet
    mui::set(gWindows[WINDOW_MAIN], MUIA_Window_Open, LONG{TRUE});
    ASSERT_TRUE(mui::UserChooseMenu(app.get(), MEN_RENDER));
    ASSERT_TRUE(mui::UserChooseMenu(app.get(), MEN_QUIT));
    EXPECT_FALSE(mui::UserChooseMenu(app.get(), MEN_PROJECT)); // a title is no item
    ULONG sigs = 0;
    EXPECT_EQ(mui::Application_NewInput(app.get(), sigs), MEN_RENDER);
    EXPECT_EQ(mui::Application_NewInput(app.get(), sigs), MEN_QUIT);
    EXPECT_EQ(mui::Application_NewInput(app.get(), sigs), 0);
}
#endif

} // namespace
