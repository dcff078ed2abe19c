// Builds the application: the main window, the crouton editor, the About
// window and the menu strip, keeping each gadget that code touches later in
// its slot of gButtons.
#include "gui/windows.h"

#include "gui/gui.h"
#include "gui/look_gadgets.h"
#include "gui/vocabulary.h"
#include "model/tables.h"
#include "os/asl.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

using mui::ObjectPtr;

// MUIV_Frame_String: the frame of an editable text field.
constexpr LONG kFrameString = 4;

constexpr const char* kNoVideoLoaded = "NoVideoLoaded.png";

#ifndef CLIPWEAVER_BASIC
constexpr const char* kBlankSpacer = "BlankSpacer.png";

// The menu strip, one menu; each item's user data is its menu identifier.
// The first menu is the original one, with the keys people expect; the
// recent projects' items stay hidden until there are recent projects.
const std::vector<mui::NewMenu> gMenuData = {
    {mui::NM_TITLE, "Project", MEN_PROJECT},
    {mui::NM_ITEM, "New Project", MEN_NEW_PROJECT, "Ctrl+N"},
    {mui::NM_ITEM, "Load Project...", MEN_LOAD_PROJECT, "Ctrl+O"},
    {mui::NM_ITEM, "Save Project", MEN_SAVE_PROJECT, "Ctrl+S"},
    {mui::NM_ITEM, "Save Project As...", MEN_SAVE_PROJECT_AS, "Ctrl+Shift+S"},
    {mui::NM_ITEM, "Render!", MEN_RENDER, "Ctrl+R"},
    {mui::NM_ITEM, "Preview Project", MEN_PREVIEW_PROJECT, "Ctrl+P"},
    {mui::NM_ITEM, "Empty Kept Pieces", MEN_EMPTY_PIECES},
    {mui::NM_ITEM, "Keep Rendered Pieces On/Off", MEN_KEEP_PIECES},
    {mui::NM_ITEM, "About", MEN_ABOUT},
    {mui::NM_ITEM, "Quit", MEN_QUIT, "Ctrl+Q"},
    {mui::NM_TITLE, "Edit", MEN_EDIT},
    {mui::NM_ITEM, "Undo", MEN_UNDO, "Ctrl+Z"},
    {mui::NM_ITEM, "Redo", MEN_REDO, "Ctrl+Shift+Z"},
    {mui::NM_TITLE, "Recent Projects", MEN_RECENT},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 1},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 2},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 3},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 4},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 5},
    {mui::NM_ITEM, "", MEN_RECENT_FIRST + 6},
    {mui::NM_ITEM, "", MEN_RECENT_LAST},
    {mui::NM_TITLE, "Crouton", MEN_CROUTON},
    // The Delete key deletes only where it deletes nothing else: in the lists.
    // The Delete key deletes only where it deletes nothing else: in the lists.
    {mui::NM_ITEM, "Delete Crouton", MEN_DELETE_CROUTON, "Del"},
    {mui::NM_TITLE, "Help", MEN_HELP_MENU},
    {mui::NM_ITEM, "Help", MEN_HELP, "F1"},
    {mui::NM_END, "", 0},
};

constexpr const char* kAboutTitle = "Clipweaver is brought to you by its makers";
constexpr const char* kAboutText =
    "\x1b" "cWelcome to Clipweaver!\n"
    "\n"
    "Supported by the Clipweaver users' circle\n"
    "\n"
    "Press F1 for the manual, or type man clipweaver\n"
    "\n"
    "Thanks to everyone who lent a hand:\n"
    "you made this program possible.\n";
#endif

// The children of a group, made strictly in the order they are written
// (braced initialisation evaluates left to right), so a creation that fails
// is always the same one.
struct Children {
    std::vector<ObjectPtr> objects;
    // Implicit on purpose: groups are written as HGroup({a, b, c}).
    template <typename... T>
    Children(T&&... children)
    {
        objects.reserve(sizeof...(children));
        (objects.push_back(std::forward<T>(children)), ...);
    }
};

ObjectPtr HGroup(Children children)
{
    return mui::MakeGroup(true, std::move(children.objects));
}

ObjectPtr VGroup(Children children)
{
    return mui::MakeGroup(false, std::move(children.objects));
}

// Sets attributes on an object that was made; a failed creation stays null.
ObjectPtr With(ObjectPtr object, std::initializer_list<std::pair<Tag, mui::Value>> attributes)
{
    if (object)
        object->SetAttrs(attributes);
    return object;
}

// Keeps the object in its slot of gButtons; the object itself goes on to
// its parent.
ObjectPtr Slot(HexButtons slot, ObjectPtr object)
{
    gButtons[slot] = object.get();
    return object;
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

ObjectPtr String(std::string contents)
{
    return With(mui::MakeString(std::move(contents)), {{MUIA_Frame, kFrameString}});
}

// A text button with the help its tool tip shows.
ObjectPtr Button(std::string label, std::string help)
{
    return With(mui::MakeButton(std::move(label)), {{MUIA_ShortHelp, std::move(help)}});
}

// A field that holds a path: room for the longest path the host takes, so
// that no name is ever cut short.
ObjectPtr PathString(std::string contents)
{
    return With(mui::MakeString(std::move(contents), 4096), {{MUIA_Frame, kFrameString}});
}

ObjectPtr DisabledString(std::string contents)
{
    return With(String(std::move(contents)), {{MUIA_Disabled, LONG{TRUE}}});
}

// A file field: its string and the pop-up button that asks the file
// requester.
ObjectPtr FileField(ObjectPtr string, ObjectPtr button)
{
    return mui::MakePopasl(std::move(string), std::move(button));
}

// The crouton editor's source field asks for a video or pictures the way
// "_New Crouton" does, picture sequences included.
ObjectPtr SourceField(ObjectPtr field)
{
    return With(std::move(field), {{ASLFR_TitleText, std::string(cMediaRequestTitle)},
                                   {ASLFR_InitialPattern, std::string(cMediaPattern)},
                                   {ASLFR_DoPatterns, LONG{TRUE}},
                                   {ASLFR_DoSequences, LONG{TRUE}},
                                   {ASLFR_HintText, std::string(cSequenceHint)}});
}

// A soundtrack's field asks for sound files and videos.
ObjectPtr SoundtrackField(ObjectPtr field)
{
    return With(std::move(field), {{ASLFR_InitialPattern, SoundtrackPattern()}, {ASLFR_DoPatterns, LONG{TRUE}}});
}

// The string of a file field: room for the longest path the host takes, as
// the output field has, shortcut "o".
ObjectPtr FileString()
{
    return With(mui::MakeString("", 4096),
                {{MUIA_Frame, kFrameString}, {MUIA_ControlChar, std::string("o")}});
}

// An image gadget showing an image file (image-source type 0).
ObjectPtr Picture(std::string file)
{
    return mui::MakeNBitmap(std::move(file));
}

// A horizontal slider over 0..100. The editor's time sliders get their real
// range from the crouton being edited.
ObjectPtr Slider()
{
    return mui::MakeSlider(0, 100, 0);
}

// One caption row of the crouton details: the caption and its value label.
ObjectPtr CaptionRow(const char* caption, HexButtons slot, const char* value)
{
    return HGroup({mui::MakeText(caption), Slot(slot, mui::MakeLabel(value))});
}

// A field of seconds, typed, with the help its tool tip shows.
ObjectPtr SecondsField(std::string seconds, std::string help)
{
    return With(String(std::move(seconds)), {{MUIA_ShortHelp, std::move(help)}});
}

ObjectPtr HelpedCycle(std::vector<std::string> entries, std::string help)
{
    return With(mui::MakeCycle(std::move(entries)), {{MUIA_ShortHelp, std::move(help)}});
}

ObjectPtr HelpedSlider(LONG least, LONG most, LONG value, std::string help)
{
    ObjectPtr slider = mui::MakeSlider(least, most, least);
    if (slider)
        slider->SetAttrs({{MUIA_Numeric_Value, value}, {MUIA_ShortHelp, std::move(help)}});
    return slider;
}

// The project's look under the pictures of the croutons, where it takes no
// height from the window: its default join, the join after the chosen
// crouton, its fades and the croutons' sound under the soundtrack.
ObjectPtr ProjectLookPanel()
{
    return With(VGroup({
        mui::MakeLabel("\x1b" "lTransition:"),
        HGroup({Slot(BUTTON_MAIN_TRANSITION_CYCLER,
                     HelpedCycle(TransitionEntries(), "How every crouton passes into the next, unless its join is its own")),
                Slot(BUTTON_MAIN_TRANSITION_SECONDS, SecondsField("1", "Seconds each transition lasts: 0.2 to 3"))}),
        mui::MakeLabel("\x1b" "lAfter the chosen crouton:"),
        HGroup({Slot(BUTTON_MAIN_JOIN_CYCLER,
                     HelpedCycle(OwnJoinEntries(), "The join after the chosen crouton: the project's, or one of its own")),
                Slot(BUTTON_MAIN_JOIN_SECONDS, SecondsField("1", "Seconds of the chosen crouton's own join: 0.2 to 3"))}),
        HGroup({mui::MakeLabel("Fade in "),
                Slot(BUTTON_MAIN_FADEIN, SecondsField("0", "Seconds the video takes to come from black (0: none)")),
                mui::MakeLabel("out "),
                Slot(BUTTON_MAIN_FADEOUT,
                     SecondsField("0", "Seconds the video takes to go to black at its end (0: none)"))}),
        HGroup({mui::MakeLabel("Clip sound % "),
                Slot(BUTTON_MAIN_CLIPLEVEL,
                     HelpedSlider(0, 100, 0, "The croutons' own sound under the soundtrack (0: the soundtrack alone)"))}),
        HGroup({mui::MakeLabel("Ducking "),
                Slot(BUTTON_MAIN_DUCKING,
                     HelpedCycle(OnOffEntries(), "Lower the soundtrack while a crouton's own sound is loud"))}),
        HGroup({mui::MakeLabel("Fit soundtrack "),
                Slot(BUTTON_MAIN_FITSOUNDTRACK,
                     HelpedCycle(OnOffEntries(), "Loop a short soundtrack, fade out a long one at the end"))}),
    }), {{MUIA_MaxWidth, LONG{240}}});
}

// Where the output goes: its name and the button that chooses it.
ObjectPtr OutputNameRow()
{
    return HGroup({mui::MakeLabel("Output Name: "),
                   Slot(BUTTON_MAIN_OUTPUTFILENAME, PathString("RAM:GreatVideo.avi")),
                   Slot(BUTTON_MAIN_OUTPUTFILENAME_BROWSE,
                        With(Button("_Browse...", "Choose where the output video goes and its kind"),
                             {{MUIA_HorizWeight, LONG{0}}}))});
}

// The buttons beside the crouton list, and what the chosen crouton is.
ObjectPtr CroutonColumn()
{
    return With(VGroup({
                    Slot(BUTTON_MAIN_NEWCROUTON, Button("_New Crouton", "Make a new crouton from a video clip or a sequence of pictures")),
                    Slot(BUTTON_MAIN_ADDCROUTON, Button("_Add Crouton", "Add a crouton saved earlier (a .cwcrouton file)")),
                    Slot(BUTTON_MAIN_EDITCROUTON, Button("_Edit Crouton", "Trim, retitle and preview the chosen crouton")),
                    Slot(BUTTON_MAIN_DELETECROUTON, Button("_Delete Crouton", "Take the chosen crouton out of the project (its file stays)")),
                    HGroup({Slot(BUTTON_MAIN_UP, Button("_Up", "Move the chosen crouton one place earlier")),
                            Slot(BUTTON_MAIN_DOWN, Button("D_own", "Move the chosen crouton one place later"))}),
                    CaptionRow("\x1b" "lLength: ", BUTTON_MAIN_LENGTH, "\x1b" "l------ Seconds"),
                    CaptionRow("Width: ", BUTTON_MAIN_CROUTON_WIDTH, "\x1b" "l--------"),
                    CaptionRow("Height: ", BUTTON_MAIN_CROUTON_HEIGHT, "\x1b" "l--------"),
                    CaptionRow("Video Bitrate: ", BUTTON_MAIN_CROUTON_VIDEOBITRATE, "\x1b" "l-------- bps"),
                    CaptionRow("\x1b" "lAudio Bitrate: ", BUTTON_MAIN_CROUTON_AUDIOBITRATE,
                               "\x1b" "l-------- bps"),
                    CaptionRow("\x1b" "lRatio: ", BUTTON_MAIN_CROUTON_RATIO, "\x1b" "l----------"),
                    CaptionRow("\x1b" "lFrame Rate: ", BUTTON_MAIN_CROUTON_FPS, "\x1b" "l--------- fps"),
                    CaptionRow("\x1b" "lVideo Codec: ", BUTTON_MAIN_CROUTON_VIDEOCODEC,
                               "\x1b" "l--NO CODEC--"),
                    CaptionRow("\x1b" "lAudio Codec: ", BUTTON_MAIN_CROUTON_AUDIOCODEC,
                               "\x1b" "l--NO CODEC--"),
                }),
                {{MUIA_HorizWeight, LONG{40}}});
}

// The output's settings: its format and bit rate, then its frame rate and
// the project's soundtrack.
ObjectPtr FormatRow()
{
    return HGroup({
        mui::MakeLabel("Format "),
        Slot(BUTTON_MAIN_FORMAT_CYCLER, mui::MakeCycle(Entries(cFormatStrings))),
        mui::MakeLabel("Baud "),
        Slot(BUTTON_MAIN_BAUDRATE_CYCLER, mui::MakeCycle(Entries(cBaudStrings))),
        mui::MakeLabel("Width "),
        Slot(BUTTON_MAIN_WIDTH, DisabledString("320")),
        mui::MakeLabel("Height "),
        Slot(BUTTON_MAIN_HEIGHT, DisabledString("240")),
    });
}

ObjectPtr RateRow()
{
    return HGroup({
        mui::MakeLabel("FPS "),
        Slot(BUTTON_MAIN_FPS_CYCLER, mui::MakeCycle(Entries(cFPSStrings))),
        mui::MakeLabel("Custom "),
        Slot(BUTTON_MAIN_CUSTOMFPS, DisabledString("30")),
        mui::MakeLabel("Soundtrack: "),
        SoundtrackField(FileField(Slot(BUTTON_MAIN_SOUNDTRACK, FileString()),
                                  Slot(BUTTON_MAIN_SOUNDTRACK_POPUP, mui::MakePopButton()))),
    });
}

// The chosen crouton's five stills.
ObjectPtr PreviewRow()
{
    return With(HGroup({
                    Slot(BUTTON_MAIN_PREVIEWIMAGE, Picture(kNoVideoLoaded)),
                    Slot(BUTTON_MAIN_PREVIEWIMAGE2, Picture(kNoVideoLoaded)),
                    Slot(BUTTON_MAIN_PREVIEWIMAGE3, Picture(kNoVideoLoaded)),
                    Slot(BUTTON_MAIN_PREVIEWIMAGE4, Picture(kNoVideoLoaded)),
                    Slot(BUTTON_MAIN_PREVIEWIMAGE5, Picture(kNoVideoLoaded)),
#ifndef CLIPWEAVER_BASIC
                    Picture(kBlankSpacer),
#endif
                }),
                {{MUIA_MaxWidth, LONG{240}}});
}

ObjectPtr BuildMainWindow(ObjectPtr croutonList, ObjectPtr visualList)
{
    ObjectPtr root = HGroup({
        VGroup({
            Slot(BUTTON_MAIN_VISUALLIST,
                 With(mui::MakeNListview(std::move(visualList)), {{MUIA_MaxWidth, LONG{192}}})),
            ProjectLookPanel(),
        }),
        VGroup({
            HGroup({mui::MakeLabel("Project Name: "), Slot(BUTTON_MAIN_PROJECTNAME, String("New Project"))}),
            OutputNameRow(),
            HGroup({mui::MakeLabel("Total length: "), Slot(BUTTON_MAIN_TOTALLENGTH, mui::MakeText("\x1b" "l0:00:00")),
                    mui::MakeLabel("Estimated size: "), Slot(BUTTON_MAIN_OUTPUTSIZE, mui::MakeText("\x1b" "l0 MB"))}),
            HGroup({
                Slot(BUTTON_MAIN_CROUTONLIST,
                     With(mui::MakeNListview(std::move(croutonList)), {{MUIA_HorizWeight, LONG{60}}})),
                CroutonColumn(),
            }),
            FormatRow(),
            RateRow(),
            mui::MakeLabel("\x1b" "lPreview: "),
            PreviewRow(),
            HGroup({
                Slot(BUTTON_MAIN_RENDER, Button("_Render", "Make the output video from every crouton in order")),
                Slot(BUTTON_MAIN_PREVIEW,
                     Button("_Preview Project", "Play the whole project as the render would make it, without encoding")),
            }),
            HGroup({
                Slot(BUTTON_MAIN_NEW, Button("_New Project", "Start an empty project")),
                Slot(BUTTON_MAIN_LOAD, Button("_Load Project", "Open a saved project (.cwproj)")),
                Slot(BUTTON_MAIN_SAVE, Button("_Save Project", "Save this project to a .cwproj file")),
                Slot(BUTTON_MAIN_QUIT, Button("_Quit", "Leave Clipweaver")),
            }),
        }),
    });
    // Files dropped from a file manager become croutons or the project.
    return With(mui::MakeWindow("Clipweaver    0.8", std::move(root)), {{MUIA_Window_AppWindow, LONG{TRUE}}});
}

// A typed time beside a trim slider.
ObjectPtr TimeField(const char* help)
{
    return With(String("0:00.000"), {{MUIA_ShortHelp, std::string(help)}});
}

// Preview image k of the editor above its slider.
ObjectPtr PreviewColumn(HexButtons image, HexButtons slider, ObjectPtr picture)
{
    return VGroup({Slot(image, std::move(picture)), Slot(slider, Slider())});
}

// A framing of pan and zoom: zoom in percent (100 to 300), the centre in
// percent of the picture's width and height.
ObjectPtr FramingSliders(const char* label, HexButtons zoom, HexButtons x, HexButtons y)
{
    return HGroup({
        mui::MakeLabel(label),
        Slot(zoom, HelpedSlider(100, 300, 100, "Zoom in percent: 100 to 300")),
        mui::MakeLabel("x "),
        Slot(x, HelpedSlider(0, 100, 50, "The centre across, in percent of the picture's width")),
        mui::MakeLabel("y "),
        Slot(y, HelpedSlider(0, 100, 50, "The centre down, in percent of the picture's height")),
    });
}

// A crouton's look, below its trims: fades and volume, its title on two
// rows, pan and zoom over pictures.
ObjectPtr CroutonLookRows()
{
    return VGroup({
        HGroup({
            mui::MakeLabel("Fade in "),
            Slot(BUTTON_CROUTONEDITOR_FADEIN, SecondsField("0", "Seconds from black at the crouton's start")),
            mui::MakeLabel("Fade out "),
            Slot(BUTTON_CROUTONEDITOR_FADEOUT, SecondsField("0", "Seconds to black at the crouton's end")),
            mui::MakeLabel("Volume % "),
            Slot(BUTTON_CROUTONEDITOR_VOLUME, HelpedSlider(0, 200, 100, "The crouton's own sound: 0 to 200 percent")),
        }),
        HGroup({
            mui::MakeLabel("Title "),
            Slot(BUTTON_CROUTONEDITOR_TITLE_SHOWN, HelpedCycle(OnOffEntries(), "Write a title over the picture")),
            Slot(BUTTON_CROUTONEDITOR_TITLE_TEXT,
                 With(String(""), {{MUIA_ShortHelp, std::string("The title's text; empty writes the crouton's name")}})),
            Slot(BUTTON_CROUTONEDITOR_TITLE_PLACE, With(HelpedCycle(TitlePlaceEntries(), "Where the title stands"),
                                                        {{MUIA_Cycle_Active, LONG{2}}})), // lower third
            mui::MakeLabel("Size "),
            Slot(BUTTON_CROUTONEDITOR_TITLE_SIZE,
                 HelpedSlider(2, 20, 7, "The letters' height in hundredths of the picture's")),
        }),
        HGroup({
            mui::MakeLabel("Colour "),
            Slot(BUTTON_CROUTONEDITOR_TITLE_COLOUR, SecondsField("#ffffff", "The letters' colour, #rrggbb")),
            Slot(BUTTON_CROUTONEDITOR_TITLE_BACKING,
                 HelpedCycle(TitleBackingEntries(), "A shadow under the letters or a box behind them")),
            mui::MakeLabel("For seconds "),
            Slot(BUTTON_CROUTONEDITOR_TITLE_SECONDS,
                 SecondsField("0", "How long the title stands from the start (0: the whole crouton)")),
            mui::MakeLabel("Title fade "),
            Slot(BUTTON_CROUTONEDITOR_TITLE_FADE, SecondsField("0.5", "Seconds the title takes to appear and to go")),
        }),
        HGroup({
            mui::MakeLabel("Pan and zoom "),
            Slot(BUTTON_CROUTONEDITOR_PANZOOM,
                 HelpedCycle(PanZoomEntries(), "A move over the pictures: your framings or a gentle one")),
            FramingSliders("Start zoom ", BUTTON_CROUTONEDITOR_PANZOOM_START_ZOOM, BUTTON_CROUTONEDITOR_PANZOOM_START_X,
                           BUTTON_CROUTONEDITOR_PANZOOM_START_Y),
            FramingSliders("End zoom ", BUTTON_CROUTONEDITOR_PANZOOM_END_ZOOM, BUTTON_CROUTONEDITOR_PANZOOM_END_X,
                           BUTTON_CROUTONEDITOR_PANZOOM_END_Y),
        }),
    });
}

ObjectPtr BuildCroutonEditorWindow()
{
    ObjectPtr root = VGroup({
        HGroup({mui::MakeLabel("Title: "), Slot(BUTTON_CROUTONEDITOR_TITLE, String(""))}),
        HGroup({
            mui::MakeLabel("Source Video: "),
            SourceField(FileField(Slot(BUTTON_CROUTONEDITOR_VIDEO_FILENAME, FileString()),
                                  Slot(BUTTON_CROUTONEDITOR_VIDEO_FILENAME_POPUP, mui::MakePopButton()))),
            Slot(BUTTON_CROUTONEDITOR_LOADVIDEO, Button("_Load", "Read the source video or pictures named in the field")),
        }),
        HGroup({
            PreviewColumn(BUTTON_CROUTONEDITOR_IMAGE, BUTTON_CROUTONEDITOR_PREVIEWSLIDER1,
                          Picture(kNoVideoLoaded)),
            PreviewColumn(BUTTON_CROUTONEDITOR_IMAGE2, BUTTON_CROUTONEDITOR_PREVIEWSLIDER2,
                          With(Picture(kNoVideoLoaded), {{MUIA_FixHeight, LONG{120}}})),
            PreviewColumn(BUTTON_CROUTONEDITOR_IMAGE3, BUTTON_CROUTONEDITOR_PREVIEWSLIDER3,
                          Picture(kNoVideoLoaded)),
            PreviewColumn(BUTTON_CROUTONEDITOR_IMAGE4, BUTTON_CROUTONEDITOR_PREVIEWSLIDER4,
                          Picture(kNoVideoLoaded)),
            PreviewColumn(BUTTON_CROUTONEDITOR_IMAGE5, BUTTON_CROUTONEDITOR_PREVIEWSLIDER5,
                          Picture(kNoVideoLoaded)),
            VGroup({
                mui::MakeLabel("Preview frame:"),
                Slot(BUTTON_CROUTONEDITOR_PREVIEWSELECTER, mui::MakeRadio(Entries(cPreviewSelecterTexts))),
            }),
        }),
        HGroup({
            mui::MakeLabel("Start time"),
            Slot(BUTTON_CROUTONEDITOR_START, Slider()),
            Slot(BUTTON_CROUTONEDITOR_STARTTIME, TimeField("The start, to the frame: 12.48, 0:12.48 or 1:02:03.5")),
            mui::MakeLabel("End time"),
            Slot(BUTTON_CROUTONEDITOR_END, Slider()),
            Slot(BUTTON_CROUTONEDITOR_ENDTIME, TimeField("The end, to the frame: 12.48, 0:12.48 or 1:02:03.5")),
        }),
        HGroup({
            mui::MakeLabel("Video Frames Per Second "),
            Slot(BUTTON_CROUTONEDITOR_FPS_CYCLER, mui::MakeCycle(Entries(cCroutonEditorFPSStrings))),
            mui::MakeLabel("Custom "),
            Slot(BUTTON_CROUTONEDITOR_CUSTOMFPS, DisabledString("30")),
            mui::MakeLabel("Soundtrack"),
            SoundtrackField(FileField(Slot(BUTTON_CROUTONEDITOR_SOUNDTRACK, FileString()), mui::MakePopButton())),
        }),
        CroutonLookRows(),
        Slot(BUTTON_CROUTONEDITOR_GENERATEPREVIEW, Button("_Generate Preview", "Take the five stills at the sliders' positions")),
        HGroup({
            Slot(BUTTON_CROUTONEDITOR_MPLAYER, Button("_Run MPlayer", "Play the source in MPlayer")),
            Slot(BUTTON_CROUTONEDITOR_SAVE, Button("_Save", "Keep the changes and close the editor")),
            Slot(BUTTON_CROUTONEDITOR_CANCEL, Button("_Cancel", "Close the editor without keeping the changes")),
        }),
    });
    return mui::MakeWindow("Clipweaver Crouton Editor", std::move(root));
}

#ifndef CLIPWEAVER_BASIC
ObjectPtr BuildAboutWindow()
{
    ObjectPtr root = VGroup({
        mui::MakeText(kAboutText),
        Slot(BUTTON_ABOUT_OK, Button("_OK!", "Close this window")),
    });
    return mui::MakeWindow(kAboutTitle, std::move(root));
}
#endif

} // namespace

void ForgetGadgets()
{
    gButtons.fill(nullptr);
    gWindows.fill(nullptr);
    gCroutonList = nullptr;
    gVisualList = nullptr;
}

mui::ObjectPtr BuildApplication(const std::vector<std::string>& croutonStrings)
{
    ForgetGadgets();
    InstallProjectView();

    ObjectPtr croutonList = With(mui::MakeNList(croutonStrings), {{MUIA_NList_DragSortable, LONG{TRUE}}});
    gCroutonList = croutonList.get();
    ObjectPtr visualList = With(mui::MakeNList({}), {
        {MUIA_NList_DragSortable, LONG{TRUE}},
        {MUIA_MaxWidth, LONG{320}},
        {MUIA_NList_MinLineHeight, LONG{120}},
    });
    gVisualList = visualList.get();

    ObjectPtr mainWindow = BuildMainWindow(std::move(croutonList), std::move(visualList));
    gWindows[WINDOW_MAIN] = mainWindow.get();
    ObjectPtr editorWindow = BuildCroutonEditorWindow();
    gWindows[WINDOW_CROUTONEDITOR] = editorWindow.get();

    std::vector<ObjectPtr> windows;
#ifndef CLIPWEAVER_BASIC
    ObjectPtr aboutWindow = BuildAboutWindow();
    gWindows[WINDOW_ABOUT] = aboutWindow.get();
    ObjectPtr menustrip = mui::MakeMenustrip(gMenuData);
    if (!menustrip) {
        ForgetGadgets();
        return nullptr;
    }
    windows.push_back(std::move(aboutWindow));
#else
    ObjectPtr menustrip;
#endif
    windows.push_back(std::move(editorWindow));
    windows.push_back(std::move(mainWindow));

    ObjectPtr application = mui::MakeApplication("Clipweaver", std::move(windows), std::move(menustrip));
    if (!application)
        ForgetGadgets();
    return application;
}
