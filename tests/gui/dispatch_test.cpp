// The dispatch tables: each return ID and each script action is taken by one
// row only (a second row would be shadowed silently), and every menu item
// reaches a handler.
#include "gui/loop.h"
#include "gui/script_actions.h"
#include "gui/vocabulary.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Dispatch, NoReturnIdInTwoRows)
{
    std::map<LONG, int> rows;
    for (const auto table : ReturnIdTables())
        for (const ReturnIdRow& row : table) {
            EXPECT_NE(row.handle, nullptr) << row.id;
            EXPECT_EQ(++rows[row.id], 1) << "return ID " << row.id;
        }
}

TEST(Dispatch, NoScriptActionInTwoRows)
{
    std::map<std::string, int> rows;
    for (const auto table : ScriptActionTables())
        for (const ScriptAction& action : table)
            EXPECT_EQ(++rows[std::string(action.name)], 1) << action.name;
    for (const char* name : {"press", "menu", "undo", "dump", "break", "requester"})
        EXPECT_EQ(rows.count(name), 1u) << name;
}

#ifndef CLIPWEAVER_BASIC
TEST(Dispatch, EveryMenuItemHasAHandler)
{
    for (LONG id = MEN_PROJECT; id <= MEN_HELP_MENU; ++id) {
        const bool title = id == MEN_PROJECT || id == MEN_EDIT || id == MEN_RECENT || id == MEN_CROUTON ||
                           id == MEN_HELP_MENU;
        EXPECT_EQ(FindReturnIdHandler(id) != nullptr, !title) << MenuName(id);
    }
}
#endif

TEST(Dispatch, UnknownReturnIdsAreIgnored)
{
    EXPECT_EQ(FindReturnIdHandler(0), nullptr);
    EXPECT_EQ(FindReturnIdHandler(GADMSG_CROUTONEDITOR_CREATE), nullptr);
}

} // namespace
