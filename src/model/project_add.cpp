// Adding croutons at the end of the project: a new one made from a video clip
// or a still-image sequence, or an existing one from its crouton file. Both
// keep the project's list, gCroutonList and gVisualList in step.

#include "model/project.h"
#include "model/crouton_time.h"

#include "media/probe.h"
#include "model/imageseq.h"
#include "model/project_view.h"
#include "model/tables.h"
#include "model/visual_entry.h"
#include "os/asl.h"
#include "os/command.h"
#include "os/dos.h"
#include "os/exec.h"
#include "os/format.h"
#include "mui/mui.h"
#include "os/question.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kCroutonDrawer = "Croutons";
constexpr const char* kCroutonPattern = "#?.cwcrouton";

// The link that takes a node appended at the end of the list.
std::unique_ptr<ListNode>* ListTail(Project* project)
{
    std::unique_ptr<ListNode>* tail = &project->croutons;
    while (*tail)
        tail = &(*tail)->next;
    return tail;
}

// The crouton of the project read from the file at `path`, if any.
// The project's crouton stored in that file (any spelling of its path, or
// a hard link to it), and its position.
std::pair<const Crouton*, LONG> CroutonOfFile(Project* project, const std::string& path)
{
    LONG position = 0;
    for (const ListNode* node = project->croutons.get(); node != nullptr; node = node->next.get(), ++position) {
        const Crouton* crouton = node->node.get();
        if (crouton && crouton->filename && SameFile(BuildFullPath(crouton->directory.value_or(""), *crouton->filename), path))
            return {crouton, position};
    }
    return {nullptr, -1};
}

} // namespace

// The crouton file name proposed for a new crouton. A video clip gives its
// file name without the extension, then ".VIDEO.cwcrouton". An image
// sequence is named after the folder holding it: the last part of the
// directory (after its last "/", or after the volume's ":" when there is no
// "/"), then ".IMAGES.cwcrouton"; when that part is empty (no directory, a
// volume root such as "RAM:", a directory ending in "/") the chosen file
// name stands in for it, directly followed by "IMAGES.cwcrouton".
std::string ProposeCroutonName(bool isVideo, std::string_view drawer, std::string_view file)
{
    std::string proposal;
    if (isVideo) {
        proposal = file.substr(0, file.rfind('.'));
        proposal += ".VIDEO";
    } else {
        std::string_view folder = drawer;
        if (const auto slash = folder.rfind('/'); slash != std::string_view::npos)
            folder.remove_prefix(slash + 1);
        else if (const auto colon = folder.rfind(':'); colon != std::string_view::npos)
            folder.remove_prefix(colon + 1);
        if (folder.empty()) {
            proposal = file;
        } else {
            proposal = folder;
            proposal += '.';
        }
        proposal += "IMAGES";
    }
    proposal += ".cwcrouton";
    return proposal;
}

BOOL AddNewCroutonToProject(Project* project)
{
    if (!project)
        return FALSE;
    AslTags mediaTags;
    mediaTags.titleText = cMediaRequestTitle;
    mediaTags.initialPattern = cMediaPattern;
    mediaTags.doPatterns = true;
    mediaTags.doSequences = true;
    mediaTags.hintText = cSequenceHint;
    const std::optional<AslAnswer> media = ChooseFile(mediaTags);
    if (!media)
        return FALSE;
    return AddNewCroutonFromMedia(project, media->drawer, media->file,
                                  [](const Crouton& /*crouton*/, const std::string& proposal) {
        AslTags croutonTags;
        croutonTags.titleText = "Create a crouton";
        croutonTags.doSaveMode = true;
        croutonTags.initialDrawer = kCroutonDrawer;
        croutonTags.initialPattern = kCroutonPattern;
        croutonTags.initialFile = proposal;
        croutonTags.doPatterns = true;
        return ChooseFile(croutonTags);
    });
}

BOOL AddNewCroutonFromMedia(Project* project, const std::string& mediaDrawer, const std::string& mediaFile,
                            const CroutonFileChooser& chooseFile)
{
    if (!project)
        return FALSE;
    const std::string mediaPath = BuildFullPath(mediaDrawer, mediaFile);
    if (const std::string problem = SourceNameProblem(mediaPath); !problem.empty()) {
        TellUser("Source not taken", problem);
        return FALSE;
    }

    std::unique_ptr<Crouton> crouton = CreateCrouton();
    if (!crouton)
        return FALSE;
    if (LoadVideoIntoCrouton(crouton.get(), mediaPath) && crouton->isVideo && ProjectView().clipProbed)
        ProjectView().clipProbed(crouton.get());

    const std::optional<AslAnswer> croutonFile =
        chooseFile(*crouton, ProposeCroutonName(crouton->isVideo, mediaDrawer, mediaFile));
    if (!croutonFile) {
        DestroyCrouton(std::move(crouton));
        return FALSE;
    }

    crouton->videoName = mediaPath;
    crouton->filename = croutonFile->file;
    crouton->directory = croutonFile->drawer;
    crouton->name = crouton->filename;

    Crouton* added = crouton.get();
    auto node = std::make_unique<ListNode>();
    node->node = std::move(crouton);
    *ListTail(project) = std::move(node);

    // The crouton file is written only below, so this lock is not granted;
    // SaveCrouton takes the lock once the file exists.
    LockCrouton(added);
    UnlockCrouton(added);

    const LONG slot = FindFreeImageSlot(project);
    mui::NList_InsertSingle(gCroutonList, *added->name, MUIV_NList_Insert_Bottom);
    added->previewImage = MakeListPicture();
    AddVisualEntry(added, slot);
    project->numberOfCroutons++;

    if (added->isVideo) {
        added->start = 0;
        added->length = added->videoLength;
        kprintf("Setting crouton length to %s.\n", LengthText(added->length).c_str());
    } else {
        // A sequence lasts as long as its pictures at the crouton's rate,
        // reckoned as the crouton editor's save reckons it, so that the main
        // window and a render show the true length before any edit.
        added->length = ImageCroutonLength(GetNumberOfFilesInImageCrouton(added),
                                           CroutonRate(added->fps, added->customFPS));
    }

    // A crouton whose file couldn't be written (told to the user) is not
    // kept: the project would list a file that is not there.
    if (!SaveCrouton(added)) {
        DeleteCroutonFromProject(project, project->numberOfCroutons - 1);
        return FALSE;
    }
    return TRUE;
}

BOOL AddOldCroutonToProject(Project* project)
{
    kprintf("Adding crouton...\n");
    if (!project)
        return FALSE;
    // The crouton file exists already: an open requester, with no name
    // proposed (a save requester would offer to replace the chosen file).
    const std::optional<AslAnswer> chosen = ChooseFile(OpenRequest(kCroutonDrawer, kCroutonPattern));
    if (!chosen)
        return FALSE;
    return AddOldCroutonFromFile(project, BuildFullPath(chosen->drawer, chosen->file));
}

BOOL AddOldCroutonFromFile(Project* project, const std::string& path)
{
    if (!project)
        return FALSE;
    // The same crouton file twice would share its stills and its lock.
    if (const auto [present, position] = CroutonOfFile(project, path); present) {
        TellUser("Add Crouton", "The crouton \"" + present->name.value_or(path) + "\" is already in the project, as crouton " +
                                    std::to_string(position + 1) + ".");
        return FALSE;
    }
    CroutonLoadFailure failure = CroutonLoadFailure::None;
    std::unique_ptr<Crouton> crouton = LoadCrouton(path, &failure);
    if (!crouton) {
        // Nothing was linked yet: the project and both lists are as before.
        if (failure == CroutonLoadFailure::NotACrouton)
            TellUser("Crouton not added", path + ": Not a crouton file.");
        else
            TellUser("Crouton not added", "The crouton file " + path + " could not be loaded ("
                                              + LoadFailureText(failure) + ").");
        return FALSE;
    }

    Crouton* added = crouton.get();
    std::unique_ptr<ListNode>* link = ListTail(project);
    auto node = std::make_unique<ListNode>();
    node->node = std::move(crouton);
    *link = std::move(node);

    const std::string name = added->name.value_or("");
    kprintf("Adding crouton %s.\n", name.c_str());

    // The crouton file is written back at once, so a file that can't be
    // written never enters the project. No lock is taken here besides the
    // one SaveCrouton takes again after writing.
    if (!SaveCrouton(added)) {
        DestroyCrouton(std::move((*link)->node));
        link->reset();
        TellUser("Add Crouton", "The crouton file \"" + path + "\" could not be written back, so the crouton was not added.");
        return FALSE;
    }

    mui::NList_Insert(gCroutonList, {name}, 1, MUIV_NList_Insert_Bottom, 0);

    const LONG slot = FindFreeImageSlot(project);
    added->previewImage = MakeListPicture();
    if (added->previewImage) {
        // The chosen still; a crouton without one keeps the no-image picture.
        const LONG frame = added->previewFrame;
        if (frame >= 0 && frame < static_cast<LONG>(added->previewFilename.size()) &&
            added->previewFilename[static_cast<std::size_t>(frame)])
            SetButtonImage(added->previewImage, *added->previewFilename[static_cast<std::size_t>(frame)]);
    }
    AddVisualEntry(added, slot);
    project->numberOfCroutons++;
    return TRUE;
}
