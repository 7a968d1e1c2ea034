#pragma once

class QTabWidget;

// The page tabs tell a screen reader which page is shown: the tab of the
// current page has the selected state, a change of page is sent as a change
// of that state, and tab names come without the padding the tabs show.
void ReportSelectedTab(QTabWidget* tabs);
