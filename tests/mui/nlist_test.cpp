// The list methods, the active entry that follows the entries, and image
// slots.
#include "mui_fixture.h"

using muitest::MuiTest;
using muitest::RecordingView;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr LONG kSelect = 66;
constexpr LONG kDrop = 69;
constexpr LONG kEntries = 90;

class ListTest : public MuiTest {
protected:
    void SetUp() override
    {
        MuiTest::SetUp();
        mui::Notify(list, MUIA_NList_Active, MUIV_EveryTime, app, kSelect);
        mui::Notify(list, MUIA_NList_InsertPosition, MUIV_EveryTime, app, kDrop);
    }
    void Activate(LONG entry) { mui::nnset(list, MUIA_NList_Active, entry); }
    LONG ActiveEntry() const { return list->GetLong(MUIA_NList_Active); }
    const std::vector<std::string>& Entries() const { return list->entries(); }
};

TEST_F(ListTest, InsertPositions)
{
    mui::NList_InsertSingle(list, "top", MUIV_NList_Insert_Top);
    mui::NList_InsertSingle(list, "bottom", MUIV_NList_Insert_Bottom);
    mui::NList_InsertSingle(list, "at2", 2);
    mui::NList_InsertSingle(list, "past", 99);
    EXPECT_THAT(Entries(), ElementsAre("top", "A", "at2", "B", "C", "D", "bottom", "past"));
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 8);
    EXPECT_THAT(Ids(), IsEmpty()); // no active entry to move, no drop
}

TEST_F(ListTest, InsertBeforeActiveAndSorted)
{
    mui::NList_Clear(list);
    mui::NList_Insert(list, {"b", "d", "f"}, -1, MUIV_NList_Insert_Bottom, 0);
    mui::NList_InsertSingle(list, "e", MUIV_NList_Insert_Sorted);
    mui::NList_InsertSingle(list, "a", MUIV_NList_Insert_Sorted);
    mui::NList_InsertSingle(list, "z", MUIV_NList_Insert_Sorted);
    EXPECT_THAT(Entries(), ElementsAre("a", "b", "d", "e", "f", "z"));
    mui::NList_InsertSingle(list, "top", MUIV_NList_Insert_Active); // none active: the top
    EXPECT_EQ(Entries().front(), "top");
    Activate(3); // "d"
    mui::NList_InsertSingle(list, "c", MUIV_NList_Insert_Active);
    EXPECT_THAT(Entries(), ElementsAre("top", "a", "b", "c", "d", "e", "f", "z"));
    EXPECT_EQ(ActiveEntry(), 4); // still "d"
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
}

TEST_F(ListTest, InsertTakesCountEntries)
{
    mui::NList_Insert(list, {"x", "y", "z"}, 2, MUIV_NList_Insert_Bottom, 0);
    EXPECT_THAT(Entries(), ElementsAre("A", "B", "C", "D", "x", "y"));
    mui::NList_Insert(list, {"only"}, 5, 0, 0);
    EXPECT_EQ(Entries().front(), "only");
    mui::NList_Insert(list, {}, -1, 0, 0);
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 7);
}

TEST_F(ListTest, ProgramInsertsRaiseNoDrop)
{
    Activate(0);
    mui::NList_InsertSingle(list, "E", MUIV_NList_Insert_Bottom);
    mui::NList_Insert(list, {"F"}, 1, MUIV_NList_Insert_Bottom, 0);
    mui::NList_InsertSingle(list, "first", MUIV_NList_Insert_Top);
    EXPECT_THAT(Ids(), ElementsAre(kSelect)); // the active entry moved, nothing was dropped
    EXPECT_EQ(list->GetLong(MUIA_NList_InsertPosition), -1);
}

TEST_F(ListTest, EntriesCountNotifiesAndStaysEqual)
{
    mui::Notify(list, MUIA_NList_Entries, MUIV_EveryTime, app, kEntries);
    mui::NList_InsertSingle(list, "E", MUIV_NList_Insert_Bottom);
    mui::NList_Remove(list, 0);
    mui::NList_Move(list, 0, 2);
    EXPECT_THAT(Ids(), ElementsAre(kEntries, kEntries));
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 4);
}

// Move ----------------------------------------------------------------------

struct MoveCase {
    LONG from;
    LONG to;
    std::vector<std::string> result;
};

void PrintTo(const MoveCase& move, std::ostream* out) { *out << "Move(" << move.from << ", " << move.to << ")"; }

class MoveTest : public ListTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, EntryGoesBeforeTheEntryThatStoodAtTheTarget)
{
    const MoveCase& move = GetParam();
    mui::NList_Move(list, move.from, move.to);
    EXPECT_EQ(Entries(), move.result);
}

INSTANTIATE_TEST_SUITE_P(Lists, MoveTest,
    ::testing::Values(MoveCase{0, 3, {"B", "C", "A", "D"}}, // the drag of 0 below 2
        MoveCase{2, 0, {"C", "A", "B", "D"}},
        MoveCase{1, 0, {"B", "A", "C", "D"}},               // Up: id - 1
        MoveCase{1, 3, {"A", "C", "B", "D"}},               // Down: id + 2
        MoveCase{2, 4, {"A", "B", "D", "C"}},               // Down to the last place
        MoveCase{3, 5, {"A", "B", "C", "D"}},               // Down on the last entry: stays
        MoveCase{0, -1, {"A", "B", "C", "D"}},              // Up on the first entry: stays
        MoveCase{2, -1, {"C", "A", "B", "D"}},              // a negative target is the top
        MoveCase{0, 99, {"B", "C", "D", "A"}},              // past the end: last
        MoveCase{1, 1, {"A", "B", "C", "D"}},
        MoveCase{1, 2, {"A", "B", "C", "D"}},
        MoveCase{4, 0, {"A", "B", "C", "D"}},               // no such entry
        MoveCase{-1, 0, {"A", "B", "C", "D"}}),
    [](const auto& info) {
        auto name = [](LONG n) { return n < 0 ? "minus" + std::to_string(-n) : std::to_string(n); };
        return "from" + name(info.param.from) + "to" + name(info.param.to);
    });

TEST_F(ListTest, MoveKeepsTheSameEntryActive)
{
    Activate(0);
    mui::NList_Move(list, 0, 3);
    EXPECT_EQ(ActiveEntry(), 2); // "A" followed
    EXPECT_THAT(Ids(), ElementsAre(kSelect));

    Activate(1); // B C A D: "C"
    mui::NList_Move(list, 0, 4); // C A D B
    EXPECT_EQ(ActiveEntry(), 0);
    Activate(1); // "A"
    mui::NList_Move(list, 3, 0); // B C A D
    EXPECT_EQ(ActiveEntry(), 2);
    EXPECT_THAT(Ids(), ElementsAre(kSelect, kSelect));

    Activate(3); // "D", outside the moved span
    mui::NList_Move(list, 0, 2);
    EXPECT_EQ(ActiveEntry(), 3);
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(ListTest, UpOnFirstEntryDoesNothing)
{
    Activate(0);
    mui::NList_Move(list, 0, -1);
    EXPECT_THAT(Entries(), ElementsAre("A", "B", "C", "D"));
    EXPECT_EQ(ActiveEntry(), 0);
    EXPECT_THAT(Ids(), IsEmpty());
}

// Remove and clear --------------------------------------------------------------

TEST_F(ListTest, RemovingTheActiveEntryActivatesTheOneTakingItsPlace)
{
    Activate(1);
    mui::NList_Remove(list, 1);
    EXPECT_THAT(Entries(), ElementsAre("A", "C", "D"));
    EXPECT_EQ(ActiveEntry(), 1); // "C": the index did not change, so no event
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(ListTest, RemovingTheActiveLastEntryActivatesThePrevious)
{
    Activate(3);
    mui::NList_Remove(list, 3);
    EXPECT_EQ(ActiveEntry(), 2);
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
}

TEST_F(ListTest, RemovingAnEntryBeforeTheActiveOneMovesItUp)
{
    Activate(2);
    mui::NList_Remove(list, 0);
    EXPECT_EQ(ActiveEntry(), 1);
    EXPECT_EQ(*mui::NList_GetEntry(list, MUIV_NList_GetEntry_Active), "C");
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
    mui::NList_Remove(list, 2); // after it: nothing
    EXPECT_EQ(ActiveEntry(), 1);
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(ListTest, RemovingTheOnlyEntryLeavesNoneActive)
{
    mui::NList_Clear(list);
    mui::NList_InsertSingle(list, "only", MUIV_NList_Insert_Bottom);
    Activate(0);
    Ids();
    mui::NList_Remove(list, 0);
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_EQ(ActiveEntry(), -1);
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
}

TEST_F(ListTest, RemoveSpecialPositionsAndOutOfRange)
{
    Activate(1);
    mui::NList_Remove(list, MUIV_NList_Remove_Active);
    EXPECT_THAT(Entries(), ElementsAre("A", "C", "D"));
    mui::NList_Remove(list, MUIV_NList_Remove_Last);
    EXPECT_THAT(Entries(), ElementsAre("A", "C"));
    mui::NList_Remove(list, 2);
    mui::NList_Remove(list, -5);
    EXPECT_THAT(Entries(), ElementsAre("A", "C"));
    mui::nnset(list, MUIA_NList_Active, LONG{-1});
    mui::NList_Remove(list, MUIV_NList_Remove_Active); // none active: nothing
    EXPECT_THAT(Entries(), ElementsAre("A", "C"));
}

TEST_F(ListTest, ClearLeavesNoActiveEntry)
{
    mui::NList_Clear(list); // none active before: no event
    EXPECT_THAT(Ids(), IsEmpty());
    mui::NList_Insert(list, {"x", "y"}, -1, MUIV_NList_Insert_Bottom, 0);
    Activate(1);
    mui::NList_Clear(list);
    EXPECT_EQ(ActiveEntry(), -1);
    EXPECT_EQ(list->GetLong(MUIA_NList_Entries), 0);
    EXPECT_THAT(Ids(), ElementsAre(kSelect));
}

// Replace, read, view -------------------------------------------------------------

TEST_F(ListTest, ReplaceAndGetEntry)
{
    mui::NList_ReplaceSingle(list, "Bee", 1, 0, 0);
    mui::NList_ReplaceSingle(list, "none", 4, 0, 0);
    Activate(3);
    mui::NList_ReplaceSingle(list, "Dee", MUIV_NList_Insert_Active, 0, 0);
    EXPECT_THAT(Entries(), ElementsAre("A", "Bee", "C", "Dee"));
    EXPECT_EQ(mui::NList_GetEntry(list, 0), "A");
    EXPECT_EQ(mui::NList_GetEntry(list, 4), std::nullopt);
    EXPECT_EQ(mui::NList_GetEntry(list, -2), std::nullopt);
    EXPECT_EQ(mui::NList_GetEntry(listview, MUIV_NList_GetEntry_Active), "Dee"); // through the list view
    EXPECT_EQ(mui::NList_GetEntry(nullptr, 0), std::nullopt);
    EXPECT_EQ(mui::NList_GetEntry(button, 0), std::nullopt);
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(ListTest, ViewIsToldOfContentChanges)
{
    RecordingView view;
    list->SetView(&view);
    mui::NList_Redraw(list, MUIV_NList_Redraw_Active);
    mui::NList_ReplaceSingle(list, "A", 0, 0, 0); // the same text: nothing to draw
    mui::NList_Move(listview, 0, 2);
    EXPECT_THAT(view.log, ElementsAre("entries NList", "entries NList"));
    list->SetView(nullptr);
}

TEST_F(ListTest, MethodsOnNullOrOtherObjectsDoNothing)
{
    mui::NList_InsertSingle(nullptr, "x", 0);
    mui::NList_Insert(button, {"x"}, 1, 0, 0);
    mui::NList_Remove(nullptr, 0);
    mui::NList_Clear(cycle);
    mui::NList_Move(nullptr, 0, 1);
    mui::NList_ReplaceSingle(nullptr, "x", 0, 0, 0);
    mui::NList_UseImage(nullptr, bitmap, 1, 0);
    mui::NList_Redraw(nullptr, MUIV_NList_Redraw_All);
    EXPECT_THAT(cycle->entries(), ElementsAre("one", "two", "three"));
}

// Image slots ---------------------------------------------------------------------

TEST_F(ListTest, ImageSlotsReferToPicturesTheListOwns)
{
    mui::Object* first = list->AdoptImage(mui::MakeNBitmap("one.png"));
    mui::Object* second = list->AdoptImage(mui::MakeNBitmap("two.png"));
    EXPECT_EQ(list->AdoptImage(nullptr), nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parent(), list);
    EXPECT_EQ(first->window(), window);

    mui::NList_UseImage(list, first, 1, 0);
    mui::NList_UseImage(list, second, 2, 0);
    mui::NList_UseImage(list, second, 0, 0); // slots count from 1
    mui::NList_InsertSingle(list, "\x1bo[2]", MUIV_NList_Insert_Bottom);
    const auto slot = mui::ImageSlotOfEntry(list->entries().back());
    ASSERT_TRUE(slot.has_value());
    EXPECT_EQ(*slot, 2);
    EXPECT_EQ(mui::NList_SlotImage(list, *slot), second);
    EXPECT_EQ(list->imageSlots().size(), 2u);

    mui::NList_UseImage(list, nullptr, 2, 0); // empties the slot, keeps the picture
    EXPECT_EQ(mui::NList_SlotImage(list, 2), nullptr);
    EXPECT_EQ(list->ownedImages().size(), 2u);
    EXPECT_EQ(second->GetString(MUIA_NBitmap_Normal), "two.png");
    mui::NList_Clear(list); // slots outlive the entries
    EXPECT_EQ(mui::NList_SlotImage(list, 1), first);
}

TEST_F(ListTest, SlotOfAPictureThatGoesAwayIsEmptied)
{
    auto picture = mui::MakeNBitmap("elsewhere.png");
    mui::NList_UseImage(list, picture.get(), 3, 0);
    mui::DisposeObject(std::move(picture));
    EXPECT_EQ(mui::NList_SlotImage(list, 3), nullptr);
    EXPECT_TRUE(list->imageSlots().empty());
}

TEST(ImageEntries, SlotIsReadFromTheEscapeSequence)
{
    EXPECT_EQ(mui::ImageSlotOfEntry("\x1bo[1]"), 1);
    EXPECT_EQ(mui::ImageSlotOfEntry("\x1bo[42]"), 42);
    EXPECT_EQ(mui::ImageSlotOfEntry("o[1]"), std::nullopt);
    EXPECT_EQ(mui::ImageSlotOfEntry("\x1bo[]"), std::nullopt);
    EXPECT_EQ(mui::ImageSlotOfEntry("\x1bo[7"), std::nullopt);
    EXPECT_EQ(mui::ImageSlotOfEntry("Crouton"), std::nullopt);
}

} // namespace
