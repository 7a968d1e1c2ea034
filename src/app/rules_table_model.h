#pragma once

#include <QAbstractTableModel>
#include <optional>
#include <string>
#include <vector>

#include "profile/automatic_rules.h"

// The rules of automatic profiles as the dialog edits them: one row a rule,
// "Matches" and "Profile file". Every edit the dialog offers is a call here,
// so the rules' behaviour is tested without widgets.
class RulesTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { MatchColumn = 0, ProfileColumn = 1 };

    // A rule being edited: by program or by window class, and the window it
    // was picked from, so switching between the two takes the other name.
    struct Row {
        bool byClass = false;
        std::string name;
        std::string profile;
        std::optional<WindowIdentity> picked;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void Load(const std::vector<AutomaticRule>& rules);
    std::vector<AutomaticRule> Rules() const;
    const Row& At(int row) const { return rows_[static_cast<size_t>(row)]; }
    int Size() const { return static_cast<int>(rows_.size()); }

    // A new empty rule at the end; its row.
    int Add();
    void Remove(int row);
    // Swaps the rule with its neighbour `by` (-1 up, 1 down); false at an end.
    bool Move(int row, int by);
    // Matches by window class or by program; a picked window names itself either way.
    void SetByClass(int row, bool byClass);
    void SetName(int row, const std::string& name);
    void SetProfile(int row, const std::string& profile);
    // The window the user picked for the rule; one whose program the desktop
    // does not name is matched by its class.
    void SetPicked(int row, const WindowIdentity& window);

private:
    void RowChanged(int row);

    std::vector<Row> rows_;
};
