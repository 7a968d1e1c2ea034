#include "app/rules_table_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

QStringList Shown(const RulesTableModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows << model.index(row, RulesTableModel::MatchColumn).data().toString() + " -> " +
                    model.index(row, RulesTableModel::ProfileColumn).data().toString();
    }
    return rows;
}

TEST(RulesTableModel, ShowsEachRuleAndGivesItBackAsRead) {
    RulesTableModel model;
    model.Load({{"cs2", "", "cs2.toml"}, {"", "steam_app_570", "dota.toml"}});
    EXPECT_EQ(Shown(model), QStringList({"program \"cs2\" -> cs2.toml",
                                         "window class \"steam_app_570\" -> dota.toml"}));
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toInt(), 1);
    const std::vector<AutomaticRule> rules = model.Rules();
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].program, "cs2");
    EXPECT_TRUE(rules[0].windowClass.empty());
    EXPECT_EQ(rules[1].windowClass, "steam_app_570");
    EXPECT_TRUE(rules[1].program.empty());
}

TEST(RulesTableModel, AddRemoveAndMoveKeepTheOrderTheUserSees) {
    RulesTableModel model;
    model.Load({{"a", "", "a.toml"}, {"b", "", "b.toml"}});
    const int added = model.Add();
    EXPECT_EQ(added, 2);
    EXPECT_EQ(Shown(model).last(), "program (not named yet) -> (none chosen yet)");
    model.SetName(added, "c");
    model.SetProfile(added, "c.toml");

    EXPECT_TRUE(model.Move(2, -1));
    EXPECT_FALSE(model.Move(0, -1));  // the first goes no higher
    EXPECT_FALSE(model.Move(2, 1));   // the last no lower
    EXPECT_TRUE(model.Move(0, 1));
    EXPECT_EQ(Shown(model), QStringList({"program \"c\" -> c.toml", "program \"a\" -> a.toml",
                                         "program \"b\" -> b.toml"}));
    model.Remove(1);
    model.Remove(7);  // no such rule: nothing happens
    EXPECT_EQ(Shown(model), QStringList({"program \"c\" -> c.toml", "program \"b\" -> b.toml"}));
}

TEST(RulesTableModel, APickedWindowNamesItselfByProgramOrClass) {
    RulesTableModel model;
    const int row = model.Add();
    model.SetPicked(row, {"firefox", "Navigator", "firefox-esr"});
    EXPECT_EQ(Shown(model).first(), "program \"firefox\" -> (none chosen yet)");
    model.SetByClass(row, true);
    EXPECT_EQ(model.At(row).name, "firefox-esr");
    model.SetByClass(row, false);
    EXPECT_EQ(model.At(row).name, "firefox");

    // No process named (a desktop that does not say): matched by its class.
    const int unknown = model.Add();
    model.SetPicked(unknown, {"", "", "org.example.Game"});
    EXPECT_TRUE(model.At(unknown).byClass);
    EXPECT_EQ(model.At(unknown).name, "org.example.Game");
}

TEST(RulesTableModel, EveryEditTellsTheViews) {
    RulesTableModel model;
    model.Load({{"a", "", "a.toml"}, {"b", "", "b.toml"}});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.SetName(1, "bb");
    model.SetProfile(0, "aa.toml");
    model.Move(0, 1);
    model.Remove(0);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(Shown(model), QStringList({"program \"a\" -> aa.toml"}));
}

}  // namespace
