// The Basic page as a screen reader and the Tab key meet it.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "pages/basic/basic_page.h"
#include "pages/basic/cpi_level_rows.h"
#include "ui/tab_order.h"

void CSensorDlg::NameControls() {
    // The lists' labels are their buddies (BuildSettingsLines); the CPI rows
    // name their own controls.
    liftOffList_->setAccessibleDescription("Lift-off distance");
}

// Row by row as the page reads: the two lines of settings, then each level's
// radio button, X and Y.
void CSensorDlg::SetTabOrder() {
    std::vector<QWidget*> order{pollingRateList_, angleSnappingCheck_, liftOffLedCheck_,
                                liftOffList_,     cpiLevelsList_,      xySettingsCheck_,
                                cpiCheckButton_};
    cpiRows_->AppendTabOrder(order);
    SetTabOrderChain(order);
}
