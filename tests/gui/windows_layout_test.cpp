// The windows as BuildApplication lays them out: every group, label, size,
// frame and starting value, the slots of gButtons, the About window and the
// menu strip.
#include "gui/help.h"
#include "gui/vocabulary.h"
#include "gui/windows.h"
#include "model/tables.h"
#include "os/command.h"
#include "os/question.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using mui::Kind;
using mui::Object;

std::string Shown(std::string text)
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

const char* SlotOf(const Object* object)
{
    for (LONG slot = 0; slot < MAIN_NUMBER_OF_BUTTONS; ++slot)
        if (gButtons[slot] == object)
            return HexButtonName(slot);
    return nullptr;
}

// One line per object, children indented below it: the class, its slot, its
// text and every layout value that is set.
void Outline(const Object& object, int depth, std::ostringstream& out)
{
    out << std::string(depth * 2, ' ') << mui::KindName(object.kind());
    if (const char* slot = SlotOf(&object))
        out << ' ' << slot;
    if (&object == gCroutonList)
        out << " gCroutonList";
    if (&object == gVisualList)
        out << " gVisualList";
    if (object.kind() == Kind::Group)
        out << (object.GetLong(MUIA_Group_Horiz) ? " horizontal" : " vertical");
    for (Tag text : {MUIA_Window_Title, MUIA_Text_Contents, MUIA_String_Contents, MUIA_NBitmap_Normal})
        if (auto value = object.GetString(text))
            out << " \"" << Shown(*value) << '"';
    const std::pair<Tag, const char*> numbers[] = {
        {MUIA_HorizWeight, "weight"},     {MUIA_MaxWidth, "maxwidth"},
        {MUIA_FixHeight, "fixheight"},    {MUIA_Frame, "frame"},
        {MUIA_String_MaxLen, "maxlen"},   {MUIA_NList_DragSortable, "dragsort"},
        {MUIA_NList_MinLineHeight, "minline"},
        {MUIA_Numeric_Min, "min"},        {MUIA_Numeric_Max, "max"},
        {MUIA_Numeric_Value, "value"},    {MUIA_Cycle_Active, "active"},
        {MUIA_Radio_Active, "active"},
    };
    for (const auto& [tag, name] : numbers)
        if (object.Has(tag))
            out << ' ' << name << '=' << object.GetLong(tag);
    if (object.GetLong(MUIA_Disabled))
        out << " disabled";
    if (object.kind() == Kind::String)
        if (auto key = object.GetString(MUIA_ControlChar))
            out << " key=" << *key;
    if (object.kind() == Kind::Cycle || object.kind() == Kind::Radio || object.kind() == Kind::NList)
        out << " entries=" << object.entries().size();
    out << '\n';
    for (const auto& child : object.children())
        Outline(*child, depth + 1, out);
}

std::string Outline(const Object* object)
{
    std::ostringstream out;
    if (object)
        Outline(*object, 0, out);
    return out.str();
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

TEST_F(WindowsLayout, MainWindowIsLaidOutInFull)
{
    const std::string expected =
        "Window \"Clipweaver    0.8\"\n"
        "  Group horizontal\n"
        "    Group vertical\n"
        "      NListview BUTTON_MAIN_VISUALLIST maxwidth=192\n"
        "        NList gVisualList maxwidth=320 dragsort=1 minline=120 entries=0\n"
        "      Group vertical maxwidth=240\n"
        "        Label \"\\elTransition:\"\n"
        "        Group horizontal\n"
        "          Cycle active=0 entries=7\n"
        "          String \"1\" frame=4 maxlen=256\n"
        "        Label \"\\elAfter the chosen crouton:\"\n"
        "        Group horizontal\n"
        "          Cycle active=0 entries=8\n"
        "          String \"1\" frame=4 maxlen=256\n"
        "        Group horizontal\n"
        "          Label \"Fade in \"\n"
        "          String \"0\" frame=4 maxlen=256\n"
        "          Label \"out \"\n"
        "          String \"0\" frame=4 maxlen=256\n"
        "        Group horizontal\n"
        "          Label \"Clip sound % \"\n"
        "          Slider min=0 max=100 value=0\n"
        "        Group horizontal\n"
        "          Label \"Ducking \"\n"
        "          Cycle active=0 entries=2\n"
        "        Group horizontal\n"
        "          Label \"Fit soundtrack \"\n"
        "          Cycle active=0 entries=2\n"
        "    Group vertical\n"
        "      Group horizontal\n"
        "        Label \"Project Name: \"\n"
        "        String BUTTON_MAIN_PROJECTNAME \"New Project\" frame=4 maxlen=256\n"
        "      Group horizontal\n"
        "        Label \"Output Name: \"\n"
        "        String BUTTON_MAIN_OUTPUTFILENAME \"RAM:GreatVideo.avi\" frame=4 maxlen=4096\n"
        "        Button \"_Browse...\" weight=0\n"
        "      Group horizontal\n"
        "        Label \"Total length: \"\n"
        "        Text \"\\el0:00:00\"\n"
        "        Label \"Estimated size: \"\n"
        "        Text \"\\el0 MB\"\n"
        "      Group horizontal\n"
        "        NListview BUTTON_MAIN_CROUTONLIST weight=60\n"
        "          NList gCroutonList dragsort=1 entries=3\n"
        "        Group vertical weight=40\n"
        "          Button BUTTON_MAIN_NEWCROUTON \"_New Crouton\"\n"
        "          Button BUTTON_MAIN_ADDCROUTON \"_Add Crouton\"\n"
        "          Button BUTTON_MAIN_EDITCROUTON \"_Edit Crouton\"\n"
        "          Button BUTTON_MAIN_DELETECROUTON \"_Delete Crouton\"\n"
        "          Group horizontal\n"
        "            Button BUTTON_MAIN_UP \"_Up\"\n"
        "            Button BUTTON_MAIN_DOWN \"D_own\"\n"
        "          Group horizontal\n"
        "            Text \"\\elLength: \"\n"
        "            Label BUTTON_MAIN_LENGTH \"\\el------ Seconds\"\n"
        "          Group horizontal\n"
        "            Text \"Width: \"\n"
        "            Label BUTTON_MAIN_CROUTON_WIDTH \"\\el--------\"\n"
        "          Group horizontal\n"
        "            Text \"Height: \"\n"
        "            Label BUTTON_MAIN_CROUTON_HEIGHT \"\\el--------\"\n"
        "          Group horizontal\n"
        "            Text \"Video Bitrate: \"\n"
        "            Label BUTTON_MAIN_CROUTON_VIDEOBITRATE \"\\el-------- bps\"\n"
        "          Group horizontal\n"
        "            Text \"\\elAudio Bitrate: \"\n"
        "            Label BUTTON_MAIN_CROUTON_AUDIOBITRATE \"\\el-------- bps\"\n"
        "          Group horizontal\n"
        "            Text \"\\elRatio: \"\n"
        "            Label BUTTON_MAIN_CROUTON_RATIO \"\\el----------\"\n"
        "          Group horizontal\n"
        "            Text \"\\elFrame Rate: \"\n"
        "            Label BUTTON_MAIN_CROUTON_FPS \"\\el--------- fps\"\n"
        "          Group horizontal\n"
        "            Text \"\\elVideo Codec: \"\n"
        "            Label BUTTON_MAIN_CROUTON_VIDEOCODEC \"\\el--NO CODEC--\"\n"
        "          Group horizontal\n"
        "            Text \"\\elAudio Codec: \"\n"
        "            Label BUTTON_MAIN_CROUTON_AUDIOCODEC \"\\el--NO CODEC--\"\n"
        "      Group horizontal\n"
        "        Label \"Format \"\n"
        "        Cycle BUTTON_MAIN_FORMAT_CYCLER active=0 entries=20\n"
        "        Label \"Baud \"\n"
        "        Cycle BUTTON_MAIN_BAUDRATE_CYCLER active=0 entries=14\n"
        "        Label \"Width \"\n"
        "        String BUTTON_MAIN_WIDTH \"320\" frame=4 maxlen=256 disabled\n"
        "        Label \"Height \"\n"
        "        String BUTTON_MAIN_HEIGHT \"240\" frame=4 maxlen=256 disabled\n"
        "      Group horizontal\n"
        "        Label \"FPS \"\n"
        "        Cycle BUTTON_MAIN_FPS_CYCLER active=0 entries=4\n"
        "        Label \"Custom \"\n"
        "        String BUTTON_MAIN_CUSTOMFPS \"30\" frame=4 maxlen=256 disabled\n"
        "        Label \"Soundtrack: \"\n"
        "        Popasl\n"
        "          String BUTTON_MAIN_SOUNDTRACK \"\" frame=4 maxlen=4096 key=o\n"
        "          PopButton BUTTON_MAIN_SOUNDTRACK_POPUP\n"
        "      Label \"\\elPreview: \"\n"
        "      Group horizontal maxwidth=240\n"
        "        NBitmap BUTTON_MAIN_PREVIEWIMAGE \"NoVideoLoaded.png\"\n"
        "        NBitmap BUTTON_MAIN_PREVIEWIMAGE2 \"NoVideoLoaded.png\"\n"
        "        NBitmap BUTTON_MAIN_PREVIEWIMAGE3 \"NoVideoLoaded.png\"\n"
        "        NBitmap BUTTON_MAIN_PREVIEWIMAGE4 \"NoVideoLoaded.png\"\n"
        "        NBitmap BUTTON_MAIN_PREVIEWIMAGE5 \"NoVideoLoaded.png\"\n"
#ifndef CLIPWEAVER_BASIC
        "        NBitmap \"BlankSpacer.png\"\n"
#endif
        "      Group horizontal\n"
        "        Button BUTTON_MAIN_RENDER \"_Render\"\n"
        "        Button \"_Preview Project\"\n"
        "      Group horizontal\n"
        "        Button BUTTON_MAIN_NEW \"_New Project\"\n"
        "        Button BUTTON_MAIN_LOAD \"_Load Project\"\n"
        "        Button BUTTON_MAIN_SAVE \"_Save Project\"\n"
        "        Button BUTTON_MAIN_QUIT \"_Quit\"\n";
    EXPECT_EQ(Outline(gWindows[WINDOW_MAIN]), expected);
}

TEST_F(WindowsLayout, CroutonEditorIsLaidOutInFull)
{
    const std::string expected =
        "Window \"Clipweaver Crouton Editor\"\n"
        "  Group vertical\n"
        "    Group horizontal\n"
        "      Label \"Title: \"\n"
        "      String BUTTON_CROUTONEDITOR_TITLE \"\" frame=4 maxlen=256\n"
        "    Group horizontal\n"
        "      Label \"Source Video: \"\n"
        "      Popasl\n"
        "        String BUTTON_CROUTONEDITOR_VIDEO_FILENAME \"\" frame=4 maxlen=4096 key=o\n"
        "        PopButton BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP\n"
        "      Button BUTTON_CROUTONEDITOR_LOADVIDEO \"_Load\"\n"
        "    Group horizontal\n"
        "      Group vertical\n"
        "        NBitmap BUTTON_CROUTONEDITOR_IMAGE \"NoVideoLoaded.png\"\n"
        "        Slider BUTTON_CROUTONEDITOR_PREVIEWSLIDER1 min=0 max=100 value=0\n"
        "      Group vertical\n"
        "        NBitmap BUTTON_CROUTONEDITOR_IMAGE2 \"NoVideoLoaded.png\" fixheight=120\n"
        "        Slider BUTTON_CROUTONEDITOR_PREVIEWSLIDER2 min=0 max=100 value=0\n"
        "      Group vertical\n"
        "        NBitmap BUTTON_CROUTONEDITOR_IMAGE3 \"NoVideoLoaded.png\"\n"
        "        Slider BUTTON_CROUTONEDITOR_PREVIEWSLIDER3 min=0 max=100 value=0\n"
        "      Group vertical\n"
        "        NBitmap BUTTON_CROUTONEDITOR_IMAGE4 \"NoVideoLoaded.png\"\n"
        "        Slider BUTTON_CROUTONEDITOR_PREVIEWSLIDER4 min=0 max=100 value=0\n"
        "      Group vertical\n"
        "        NBitmap BUTTON_CROUTONEDITOR_IMAGE5 \"NoVideoLoaded.png\"\n"
        "        Slider BUTTON_CROUTONEDITOR_PREVIEWSLIDER5 min=0 max=100 value=0\n"
        "      Group vertical\n"
        "        Label \"Preview frame:\"\n"
        "        Radio BUTTON_CROUTONEDITOR_PREVIEWSELECTER active=0 entries=5\n"
        "    Group horizontal\n"
        "      Label \"Start time\"\n"
        "      Slider BUTTON_CROUTONEDITOR_START min=0 max=100 value=0\n"
        "      String \"0:00.000\" frame=4 maxlen=256\n"
        "      Label \"End time\"\n"
        "      Slider BUTTON_CROUTONEDITOR_END min=0 max=100 value=0\n"
        "      String \"0:00.000\" frame=4 maxlen=256\n"
        "    Group horizontal\n"
        "      Label \"Video Frames Per Second \"\n"
        "      Cycle BUTTON_CROUTONEDITOR_FPS_CYCLER active=0 entries=19\n"
        "      Label \"Custom \"\n"
        "      String BUTTON_CROUTONEDITOR_CUSTOMFPS \"30\" frame=4 maxlen=256 disabled\n"
        "      Label \"Soundtrack\"\n"
        "      Popasl\n"
        "        String BUTTON_CROUTONEDITOR_SOUNDTRACK \"\" frame=4 maxlen=4096 key=o\n"
        "        PopButton\n"
        "    Group vertical\n"
        "      Group horizontal\n"
        "        Label \"Fade in \"\n"
        "        String \"0\" frame=4 maxlen=256\n"
        "        Label \"Fade out \"\n"
        "        String \"0\" frame=4 maxlen=256\n"
        "        Label \"Volume % \"\n"
        "        Slider min=0 max=200 value=100\n"
        "      Group horizontal\n"
        "        Label \"Title \"\n"
        "        Cycle active=0 entries=2\n"
        "        String \"\" frame=4 maxlen=256\n"
        "        Cycle active=2 entries=3\n"
        "        Label \"Size \"\n"
        "        Slider min=2 max=20 value=7\n"
        "      Group horizontal\n"
        "        Label \"Colour \"\n"
        "        String \"#ffffff\" frame=4 maxlen=256\n"
        "        Cycle active=0 entries=2\n"
        "        Label \"For seconds \"\n"
        "        String \"0\" frame=4 maxlen=256\n"
        "        Label \"Title fade \"\n"
        "        String \"0.5\" frame=4 maxlen=256\n"
        "      Group horizontal\n"
        "        Label \"Pan and zoom \"\n"
        "        Cycle active=0 entries=3\n"
        "        Group horizontal\n"
        "          Label \"Start zoom \"\n"
        "          Slider min=100 max=300 value=100\n"
        "          Label \"x \"\n"
        "          Slider min=0 max=100 value=50\n"
        "          Label \"y \"\n"
        "          Slider min=0 max=100 value=50\n"
        "        Group horizontal\n"
        "          Label \"End zoom \"\n"
        "          Slider min=100 max=300 value=100\n"
        "          Label \"x \"\n"
        "          Slider min=0 max=100 value=50\n"
        "          Label \"y \"\n"
        "          Slider min=0 max=100 value=50\n"
        "    Button BUTTON_CROUTONEDITOR_GENERATEPREVIEW \"_Generate Preview\"\n"
        "    Group horizontal\n"
        "      Button BUTTON_CROUTONEDITOR_MPLAYER \"_Run MPlayer\"\n"
        "      Button BUTTON_CROUTONEDITOR_SAVE \"_Save\"\n"
        "      Button BUTTON_CROUTONEDITOR_CANCEL \"_Cancel\"\n";
    EXPECT_EQ(Outline(gWindows[WINDOW_CROUTONEDITOR]), expected);
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
