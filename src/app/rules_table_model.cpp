#include "app/rules_table_model.h"

#include <utility>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString MatchText(const RulesTableModel::Row& rule) {
    const QString kind = rule.byClass ? "window class" : "program";
    return rule.name.empty() ? kind + " (not named yet)" : kind + " \"" + Text(rule.name) + "\"";
}

QString ProfileText(const RulesTableModel::Row& rule) {
    return rule.profile.empty() ? "(none chosen yet)" : Text(rule.profile);
}

}  // namespace

int RulesTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Size();
}

int RulesTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant RulesTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    // The table elides a long text in its middle; the tip shows it whole.
    const Row& rule = At(index.row());
    return index.column() == MatchColumn ? MatchText(rule) : ProfileText(rule);
}

QVariant RulesTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;  // the first rule that matches wins: the number says the order
    }
    return section == MatchColumn ? "Matches" : "Profile file";
}

void RulesTableModel::Load(const std::vector<AutomaticRule>& rules) {
    beginResetModel();
    rows_.clear();
    for (const AutomaticRule& rule : rules) {
        const bool byClass = rule.program.empty();
        rows_.push_back({byClass, byClass ? rule.windowClass : rule.program, rule.profile, {}});
    }
    endResetModel();
}

std::vector<AutomaticRule> RulesTableModel::Rules() const {
    std::vector<AutomaticRule> rules;
    for (const Row& row : rows_) {
        AutomaticRule rule;
        (row.byClass ? rule.windowClass : rule.program) = row.name;
        rule.profile = row.profile;
        rules.push_back(std::move(rule));
    }
    return rules;
}

int RulesTableModel::Add() {
    const int row = Size();
    beginInsertRows({}, row, row);
    rows_.emplace_back();
    endInsertRows();
    return row;
}

void RulesTableModel::Remove(int row) {
    if (row < 0 || row >= Size()) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

bool RulesTableModel::Move(int row, int by) {
    const int to = row + by;
    if (row < 0 || row >= Size() || to < 0 || to >= Size() || by == 0) {
        return false;
    }
    // Qt names the place before which the row lands: one further when moving down.
    beginMoveRows({}, row, row, {}, by > 0 ? to + 1 : to);
    std::swap(rows_[static_cast<size_t>(row)], rows_[static_cast<size_t>(to)]);
    endMoveRows();
    return true;
}

void RulesTableModel::SetByClass(int row, bool byClass) {
    if (row < 0 || row >= Size()) {
        return;
    }
    Row& rule = rows_[static_cast<size_t>(row)];
    rule.byClass = byClass;
    if (rule.picked) {
        rule.name = byClass ? (rule.picked->windowClass.empty() ? rule.picked->instance
                                                                : rule.picked->windowClass)
                            : rule.picked->program;
    }
    RowChanged(row);
}

void RulesTableModel::SetName(int row, const std::string& name) {
    if (row >= 0 && row < Size()) {
        rows_[static_cast<size_t>(row)].name = name;
        RowChanged(row);
    }
}

void RulesTableModel::SetProfile(int row, const std::string& profile) {
    if (row >= 0 && row < Size()) {
        rows_[static_cast<size_t>(row)].profile = profile;
        RowChanged(row);
    }
}

void RulesTableModel::SetPicked(int row, const WindowIdentity& window) {
    if (row < 0 || row >= Size()) {
        return;
    }
    Row& rule = rows_[static_cast<size_t>(row)];
    rule.picked = window;
    // A window whose process is unknown is still known by its class.
    SetByClass(row, rule.byClass || window.program.empty());
}

void RulesTableModel::RowChanged(int row) {
    emit dataChanged(index(row, MatchColumn), index(row, ProfileColumn));
}
