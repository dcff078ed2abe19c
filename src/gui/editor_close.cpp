#include "gui/editor_close.h"

#include "gui/gui.h"
#include "gui/vocabulary.h"
#include "mui/mui.h"
#include "os/question.h"

#include <string>
#include <vector>

namespace {

// The gadgets whose values the user edits, and how each is read.
struct EditedGadget {
    HexButtons slot;
    Tag value;
};
constexpr EditedGadget kEdited[] = {
    {BUTTON_CROUTONEDITOR_TITLE, MUIA_String_Contents},
    {BUTTON_CROUTONEDITOR_VIDEO_FILENAME, MUIA_String_Contents},
    {BUTTON_CROUTONEDITOR_SOUNDTRACK, MUIA_String_Contents},
    {BUTTON_CROUTONEDITOR_CUSTOMFPS, MUIA_String_Contents},
    {BUTTON_CROUTONEDITOR_FPS_CYCLER, MUIA_Cycle_Active},
    {BUTTON_CROUTONEDITOR_START, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_END, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_PREVIEWSELECTER, MUIA_Radio_Active},
    {BUTTON_CROUTONEDITOR_PREVIEWSLIDER1, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_PREVIEWSLIDER2, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_PREVIEWSLIDER3, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_PREVIEWSLIDER4, MUIA_Numeric_Value},
    {BUTTON_CROUTONEDITOR_PREVIEWSLIDER5, MUIA_Numeric_Value},
};

std::vector<std::string> EditorValues()
{
    std::vector<std::string> values;
    for (const EditedGadget& gadget : kEdited) {
        const mui::Object* object = gButtons[gadget.slot];
        if (!object)
            values.emplace_back();
        else if (gadget.value == MUIA_String_Contents)
            values.push_back(object->GetString(gadget.value).value_or(""));
        else
            values.push_back(std::to_string(object->GetLong(gadget.value)));
    }
    return values;
}

std::vector<std::string>& Opened()
{
    static std::vector<std::string> values;
    return values;
}

} // namespace

void NoteEditorOpened() { Opened() = EditorValues(); }

bool EditorHasEdits() { return !Opened().empty() && EditorValues() != Opened(); }

EditorClose AskEditorClose()
{
    if (!EditorHasEdits())
        return EditorClose::Discard;
    const std::string name = FieldText(BUTTON_CROUTONEDITOR_TITLE).value_or("");
    enum { kSave, kDiscard, kCancel };
    const int answer = AskQuestion({"Unsaved changes", "Save changes to crouton " + name + "?",
                                    {"_Save", "_Discard", "_Cancel"}, kDiscard, kCancel, kSave});
    if (answer == kSave)
        return EditorClose::Save;
    return answer == kDiscard ? EditorClose::Discard : EditorClose::Keep;
}
