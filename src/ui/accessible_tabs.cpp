#include "ui/accessible_tabs.h"

#include "ui/accessible_interface.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <map>
#include <memory>

namespace {

// One tab of the bar. Tabs are not widgets: the bar's interface makes and
// keeps one of these per index.
class TabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabAccessible(QTabBar* bar, int index) : bar_(bar), index_(index) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    bool isValid() const override { return bar_ != nullptr && index_ < bar_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent()->window(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(bar_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        if (!isValid()) {
            return {};
        }
        switch (kind) {
            case QAccessible::Name: {
                const QString name = bar_->accessibleTabName(index_);
                return (name.isEmpty() ? bar_->tabText(index_) : name).trimmed().remove('&');
            }
            case QAccessible::Description:
                return bar_->tabToolTip(index_);
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect local = bar_->tabRect(index_);
        return QRect(bar_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.selected = bar_->currentIndex() == index_;
        state.focusable = bar_->focusPolicy() != Qt::NoFocus;
        state.focused = state.selected && bar_->hasFocus();
        state.disabled = !bar_->isEnabled() || !bar_->isTabEnabled(index_);
        state.invisible = !bar_->isVisible() || !bar_->isTabVisible(index_);
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid() && bar_->isEnabled()) {
            bar_->setCurrentIndex(index_);
        }
    }

private:
    QPointer<QTabBar> bar_;
    int index_;
};

class TabBarAccessible : public QAccessibleWidget {
public:
    explicit TabBarAccessible(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~TabBarAccessible() override {
        for (const auto& [index, id] : tabs_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return Bar()->count(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= Bar()->count()) {
            return nullptr;
        }
        const auto known = tabs_.find(index);
        if (known != tabs_.end()) {
            return QAccessible::accessibleInterface(known->second);
        }
        auto* tab = new TabAccessible(Bar(), index);
        tabs_[index] = QAccessible::registerAccessibleInterface(tab);
        return tab;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int index = 0; index < Bar()->count(); ++index) {
            if (this->child(index) == child) {
                return index;
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const int index = Bar()->tabAt(Bar()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return Bar()->hasFocus() ? child(Bar()->currentIndex()) : nullptr;
    }

private:
    QTabBar* Bar() const { return static_cast<QTabBar*>(widget()); }
    mutable std::map<int, QAccessible::Id> tabs_;
};

void SendSelectedChange(QTabBar* bar, int index) {
    QAccessibleInterface* barInterface = QAccessible::queryAccessibleInterface(bar);
    QAccessibleInterface* tab = barInterface != nullptr ? barInterface->child(index) : nullptr;
    if (tab == nullptr) {
        return;
    }
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(tab, changed);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

void ReportSelectedTab(QTabWidget* tabs) {
    QTabBar* bar = tabs->tabBar();
    // The bar is what Tab reaches: it carries the name of the pages.
    if (bar->accessibleName().isEmpty()) {
        bar->setAccessibleName(tabs->accessibleName());
    }
    ReplaceAccessibleInterface(new TabBarAccessible(bar));
    // The tab left and the tab shown both change their selected state.
    auto previous = std::make_shared<int>(bar->currentIndex());
    QObject::connect(bar, &QTabBar::currentChanged, bar, [bar, previous](int index) {
        if (QAccessible::isActive()) {
            SendSelectedChange(bar, *previous);
            SendSelectedChange(bar, index);
        }
        *previous = index;
    });
}
