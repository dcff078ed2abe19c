// Preview stills: MPlayer's screenshot filter grabs one small PNG per preview
// slider, from the video at the slider's point of the chosen stretch or from
// the picked image of an image sequence (turned into a short clip by
// mencoder first). The stills wait in the temporary preview files until the
// crouton editor saves. "_Run MPlayer" plays the crouton's source.
#include "media/preview.h"
#include "media/player_media.h"

#include "model/imageseq.h"
#include "model/project_view.h"
#include "model/render.h"
#include "model/tables.h"
#include "model/visual_entry.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/format.h"
#include "mui/mui.h"
#include "os/work.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kCommandFile = "T:__MPlayerCommand";
constexpr const char* kOutputFile = "T:__Mplayer.out";
constexpr const char* kListFile = "T:__CWEncodeList.lst";
constexpr const char* kImageVideo = "T:__CWImageVideo.mp4";
constexpr const char* kNoKeyFrame = "NoKeyFrame.png";
constexpr LONG kOutputLimit = 10239;
constexpr LONG kSmallestImageVideo = 4199;
constexpr std::intptr_t kToolStack = 1024000;

PreviewView& View()
{
    static PreviewView view;
    return view;
}

void ShowInEditor(int still, std::string_view file)
{
    if (View().showStill)
        View().showStill(still, file);
}

// The grab of five stills is long work the user can watch and cancel.
// Still `still` (counted from 0) begins; false when the grab was cancelled.
bool StartStill(int still)
{
    if (WorkCancelled())
        return false;
    if (WorkRunning())
        StepWork(still + 1, Format("Still %d of %d", still + 1, cNumberOfPreviews));
    return !WorkCancelled();
}

// Grabbing and still-image runs block until the tool ends.
LONG RunTool(const std::string& command)
{
    return SystemTagList(command, {{NP_StackSize, kToolStack}, {SYS_Input, 0}, {SYS_Output, 0}});
}

} // namespace

std::string ScreenshotCommands(std::string_view source)
{
    return "loadfile \"" + EscapeForSlave(source) + "\"\npause\nscreenshot\nplay\nquit\n";
}

std::string ScreenshotCommand(std::optional<double> position, std::string_view filters)
{
    const std::string chain(filters);
    if (position)
        return Format("SYS:Utilities/MPlayer -nosound -ss %f -zoom -vf %s,screenshot "
                      "-slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n",
                      *position, chain.c_str());
    return "SYS:Utilities/MPlayer -nosound -zoom -vf " + chain
           + ",screenshot -slave -idle -input file=/T/__MPlayerCommand -vo null >T:__Mplayer.out\n";
}

namespace {

// The slave commands of one screenshot of `source`. False when the command
// file cannot be created.
bool WriteScreenshotCommands(std::string_view source)
{
    if (!FitsOnOneLine(source))
        return false;
    FileHandle file = Open(kCommandFile, MODE_NEWFILE);
    if (!file)
        return false;
    FPuts(*file, ScreenshotCommands(source));
    Close(std::move(file));
    return true;
}

// MPlayer's printed output of the last run, as text up to its first NUL;
// nullopt when there is no output file.
std::optional<std::string> ReadToolOutput()
{
    FileHandle file = Open(kOutputFile, MODE_OLDFILE);
    if (!file)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(kOutputLimit), '\0');
    const LONG got = Read(*file, text.data(), kOutputLimit);
    Close(std::move(file));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    kprintf("Output: %s.\n", text.c_str());
    return text;
}

// Looks for the screenshot in the output; a saved one is copied to
// `destination` and removed.
ScreenshotState TakeScreenshot(const std::string& output, const std::string& destination)
{
    const ScreenshotSearch search = FindScreenshot(output);
    if (search.savedAt != std::string::npos)
        kprintf("Output: %s.\n", output.c_str() + search.savedAt);
    if (search.state != ScreenshotState::Saved)
        return search.state;
    kprintf("Found screenshot at %s. Copying to %s,\n", search.name.c_str(), destination.c_str());
    CopyStill(search.name, destination, false);
    DeleteFile(search.name);
    return ScreenshotState::Saved;
}

// The chosen still also becomes the crouton file's icon.
void CopyStillToIcon(const Crouton* crouton, int still)
{
    CopyStill(cTemporaryPreviewFilename[static_cast<std::size_t>(still)], PreviewIconName(crouton), false);
}

// Still `still` (from 0) from the screenshot run's output, copied to
// `destination`: a saved one becomes the crouton's still (and its icon when
// it is the chosen one); none at all says so in the record and in the
// editor at once, so the user sees which still has no key frame while the
// others are grabbed; one announced but not saved leaves the still as it was.
void TakeStill(Crouton* crouton, int still, const std::string& output, const std::string& destination)
{
    const auto index = static_cast<std::size_t>(still);
    switch (TakeScreenshot(output, destination)) {
    case ScreenshotState::Saved:
        if (still == crouton->previewFrame)
            CopyStillToIcon(crouton, still);
        crouton->previewFilename[index] = PreviewStillName(crouton, still + 1);
        ShowInEditor(still, cTemporaryPreviewFilename[index]);
        break;
    case ScreenshotState::None:
        kprintf("No screenshot found.\n");
        crouton->previewFilename[index] = std::string(kNoKeyFrame);
        ShowInEditor(still, kNoKeyFrame);
        break;
    case ScreenshotState::NotSaved:
        break;
    }
}

// The source that the crouton editor's source field shows; without the
// editor's windows, the crouton's own.
std::string EditorSource(const Crouton* crouton, const PreviewInputs& inputs)
{
    if (inputs.source)
        return *inputs.source;
    return crouton->videoName.value_or("");
}

// The crouton file's name without its extension.
std::string CroutonFileStem(const Crouton* crouton)
{
    const std::string filename = crouton->filename.value_or("");
    const std::size_t dot = filename.rfind('.');
    return dot == std::string::npos ? filename : filename.substr(0, dot);
}

} // namespace

void SetPreviewView(PreviewView view) { View() = std::move(view); }

void CopyStill(const std::string& from, const std::string& to, bool quiet)
{
    if (quiet) {
        SystemTagList(Format("C:Copy <NIL: >NIL: %s %s\n", QuoteIfNeeded(from).c_str(), QuoteIfNeeded(to).c_str()));
        return;
    }
    const std::string command = Format("C:copy %s %s\n", QuoteIfNeeded(from).c_str(), QuoteIfNeeded(to).c_str());
    kprintf("%s", command.c_str());
    SystemTagList(command);
}

PreviewInputs ReadPreviewInputs() { return View().read ? View().read() : PreviewInputs{}; }

ScreenshotSearch FindScreenshot(std::string_view output)
{
    static constexpr std::string_view kAnnounced = "*** screenshot";
    static constexpr std::string_view kSaved = "Saved screenshot";
    // "Saved screenshot as '" comes before the name.
    static constexpr std::size_t kNameOffset = 21;

    ScreenshotSearch search;
    search.savedAt = std::string_view::npos;
    if (output.find(kAnnounced) == std::string_view::npos)
        return search;
    search.state = ScreenshotState::NotSaved;
    const std::size_t saved = output.find(kSaved);
    if (saved == std::string_view::npos)
        return search;
    search.savedAt = saved;
    const std::size_t nameStart = saved + kNameOffset;
    if (nameStart >= output.size())
        return search;
    // A name with no "'" to end it was never written out whole.
    const std::size_t nameEnd = output.rfind('\'');
    if (nameEnd == std::string_view::npos || nameEnd <= nameStart)
        return search;
    search.state = ScreenshotState::Saved;
    search.name = std::string(output.substr(nameStart, nameEnd - nameStart));
    return search;
}

std::string PreviewStillName(const Crouton* crouton, int number)
{
    return BuildFullPath(crouton->directory.value_or(""), CroutonFileStem(crouton) + Format("_preview%d.png", number));
}

std::string PreviewIconName(const Crouton* crouton)
{
    return BuildFullPath(crouton->directory.value_or(""), CroutonFileStem(crouton) + ".info");
}

int PreviewImageIndex(int numberOfImages, LONG position)
{
    if (numberOfImages <= 0)
        return -1;
    const double picked = static_cast<double>(numberOfImages) * (static_cast<double>(position) / 100.0);
    if (!(picked > 0.0))
        return 0;
    if (picked >= static_cast<double>(numberOfImages))
        return numberOfImages - 1;
    return static_cast<int>(picked);
}

void GeneratePreview(Crouton* crouton)
{
    if (!crouton)
        return;
    // A video crouton without a probed clip has nothing to grab from.
    if (crouton->isVideo && crouton->videoLength == 0)
        return;

    for (int i = 0; i < cNumberOfPreviews; ++i)
        ShowInEditor(i, "Loading.png");
    kprintf("Crouton previewImage is %p.\n", static_cast<const void*>(crouton->previewImage));
    if (crouton->previewImage)
        SetButtonImage(crouton->previewImage, std::string_view("Loading.png"));

    BeginWork("Generating previews", cNumberOfPreviews);
    const PreviewInputs inputs = ReadPreviewInputs();
    if (crouton->isVideo)
        GrabPreviews_Video(crouton, inputs);
    else
        GrabPreviews_Images(crouton, inputs);
    if (WorkCancelled()) {
        kprintf("Preview grabbing cancelled.\n");
        EndWork(WorkOutcome::Cancelled, "Generating previews was cancelled.");
    } else {
        EndWork(WorkOutcome::Finished, "Previews generated.");
    }

    for (int i = 0; i < cNumberOfPreviews; ++i)
        ShowInEditor(i, cTemporaryPreviewFilename[static_cast<std::size_t>(i)]);
#ifdef CLIPWEAVER_BASIC
    ShowCroutonPicture(crouton);
#else
    mui::NList_Redraw(gVisualList, MUIV_NList_Redraw_Active);
#endif
}

void GrabPreviews_Video(Crouton* crouton, const PreviewInputs& inputs)
{
    if (!crouton)
        return;
    const double start = inputs.start;
    const double end = inputs.end;
    const std::string source = EditorSource(crouton, inputs);
    // The still keeps the picture's shape inside its 160x90.
    const std::string filters = FrameFilters(160, 90, 160.0 / 90.0, ProbePictureShape(source));

    for (int i = 0; i < cNumberOfPreviews; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const float slider = static_cast<float>(inputs.positions[index]);
        const float position =
            static_cast<float>(start) + slider * (static_cast<float>(end) - static_cast<float>(start)) / 100.0f;

        if (!StartStill(i))
            break;
        if (!WriteScreenshotCommands(source))
            break;
        const std::string command = ScreenshotCommand(static_cast<double>(position), filters);
        kprintf("Command: %s.\n", command.c_str());
        RunTool(command);
        if (WorkCancelled())
            break;

        const std::optional<std::string> output = ReadToolOutput();
        if (!output)
            break;
        TakeStill(crouton, i, *output, cTemporaryPreviewFilename[index]);
    }
}

void GrabPreviews_Images(Crouton* crouton, const PreviewInputs& inputs)
{
    if (!crouton)
        return;
    if (FileHandle list = Open(kListFile, MODE_NEWFILE); list) {
        Close(std::move(list));
    } else {
        kprintf("Couldn't open list file for writing.\n");
        return;
    }

    // The pictures of the source the editor shows: "_Load" of another
    // source changes the record only when the crouton is saved.
    const std::string source = EditorSource(crouton, inputs);
    const int count = GetNumberOfFilesInImageSequence(source);
    std::vector<std::string> files;
    if (count > 0 && !source.empty() && !IsSourcePattern(source) && IdentityOf(source)) {
        // A file of exactly that name is the one picture.
        files.push_back(source + "\n");
    } else if (count > 0) {
        std::string parsed;
        ParsePatternNoCase(source, parsed, 1023);
        files = BuildSequenceFileList(source, parsed, count);
    }
    if (files.empty()) {
        // Nothing to show: every still says so, and stills of an earlier
        // source are not shown for this one.
        kprintf("No images found.\n");
        for (int i = 0; i < cNumberOfPreviews; ++i) {
            crouton->previewFilename[static_cast<std::size_t>(i)] = std::string(kNoKeyFrame);
            DeleteFile(cTemporaryPreviewFilename[static_cast<std::size_t>(i)]);
        }
        return;
    }

    for (int i = 0; i < cNumberOfPreviews; ++i) {
        const auto index = static_cast<std::size_t>(i);
#ifdef CLIPWEAVER_BASIC
        const LONG position = crouton->previewPosition[index];
#else
        const LONG position = inputs.positions[index];
#endif
        const int picked = PreviewImageIndex(static_cast<int>(files.size()), position);
        GrabPreviewImage(crouton, files[static_cast<std::size_t>(picked)], cTemporaryPreviewFilename[index], i);
    }
}

void GrabPreviewImage(Crouton* crouton, std::string_view inputFilename, std::string_view outputFilename, int screenshotNumber)
{
    if (!crouton || screenshotNumber < 0 || screenshotNumber >= cNumberOfPreviews)
        return;
    if (!StartStill(screenshotNumber) || !FitsOnOneLine(inputFilename))
        return;
    {
        FileHandle list = Open(kListFile, MODE_NEWFILE);
        if (!list)
            return;
        for (int copy = 0; copy < 3; ++copy)
            FPuts(*list, inputFilename);
        Close(std::move(list));
    }

    // A clip left from an earlier still must not stand in for this one when
    // the encoding fails.
    DeleteFile(kImageVideo);
    // A picture of another shape than the still's is fitted into it here;
    // the still is then taken from the clip as it is.
    const std::string picture(inputFilename.substr(0, inputFilename.find('\n')));
    std::string filters = FrameFilters(160, 90, 160.0 / 90.0, ProbePictureShape(picture));
    if (filters.find("expand=") == std::string::npos)
        filters = "scale=160:120";
    const std::string command = std::string("mencoder ") +
                                Format("mf://@/T/__CWEncodeList.lst -mf w=%d:h=%d:type=png:fps=%f ", 640, 512, 1.0) +
                                Format("-o %s -zoom -nosound -ovc lavc -lavcopts vcodec=mpeg4:mbd=2:trell "
                                       "-vf %s,harddup ",
                                       kImageVideo, filters.c_str());
    kprintf("Executing %s", command.c_str());
    RunTool(command);
    kprintf("Done.\n");
    if (WorkCancelled())
        return;

    FileLock lock = Lock(kImageVideo, SHARED_LOCK);
    if (!lock) {
        kprintf("Output file doesn't exist. Aborting.\n");
        return;
    }
    FileInfoBlock info;
    if (!Examine(*lock, info) || info.fib_Size <= kSmallestImageVideo) {
        kprintf("Error: encoded video has too small size.\n");
        UnLock(std::move(lock));
        return;
    }
    UnLock(std::move(lock));

    if (!WriteScreenshotCommands(kImageVideo))
        return;
    const std::string grab = ScreenshotCommand(std::nullopt, "scale=160:90");
    kprintf("Command: %s.\n", grab.c_str());
    RunTool(grab);
    kprintf("Done.\n");
    if (WorkCancelled())
        return;

    const std::optional<std::string> output = ReadToolOutput();
    if (!output)
        return;
    TakeStill(crouton, screenshotNumber, *output, std::string(outputFilename));
}

void CroutonEditor_RunMPlayer(Crouton* crouton)
{
    if (!crouton)
        return;
    if (!crouton->videoName || crouton->videoName->empty()) {
        kprintf("No source to play.\n");
        return;
    }
    const std::string command =
        Format("RUN <NIL: >NIL: MPlayer -gui -playlist %s\n", QuoteIfNeeded(*crouton->videoName).c_str());
    kprintf("Command: %s.\n", command.c_str());
    // The line stays what it was; the crouton plays in the program's own
    // player, its stretch of the source the editor shows.
    const PreviewInputs inputs = ReadPreviewInputs();
    const std::string source = inputs.source.value_or(*crouton->videoName);
    const double end = inputs.source ? static_cast<double>(inputs.end) : static_cast<double>(crouton->start + crouton->length);
    const double start = inputs.source ? static_cast<double>(inputs.start) : static_cast<double>(crouton->start);
    PlayerOpen(CroutonMedia(*crouton, source, start, end, PlayerOutputFrame()));
}
