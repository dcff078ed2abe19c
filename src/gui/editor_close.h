// The crouton editor's close gadget: edits the user made since the editor
// opened are saved, dropped or kept open, as the user answers.
#pragma once

// The editor's fields as the editor was opened on a crouton.
void NoteEditorOpened();
// Whether a field differs from then.
bool EditorHasEdits();

enum class EditorClose { Save, Discard, Keep };
// What the close gadget does: Discard without edits, else the user's answer
// to "Save changes to crouton NAME?" (Save by Enter; unanswered, Discard,
// as the gadget always did).
EditorClose AskEditorClose();
