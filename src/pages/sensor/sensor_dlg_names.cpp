// The Basic page as a screen reader and the Tab key meet it.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "pages/sensor/level_controls.h"
#include "pages/sensor/sensor_dlg.h"
#include "ui/accessible_names.h"
#include "ui/qyx_static.h"
#include "ui/tab_order.h"

void CSensorDlg::NameControls() {
    // The lists' labels are their buddies (BuildSettingsLines). The CPI rows
    // get a name per control instead, since "X:" does not say which level.
    liftOffList_->setAccessibleDescription("Lift-off distance");
    for (int level = 0; level < kCpiLevelCount; ++level) {
        const CpiRow& row = rows_[level];
        const QString levelName = QStringLiteral("CPI %1").arg(level + 1);
        row.radio->setAccessibleName(QStringLiteral("Active CPI level %1").arg(level + 1));
        row.swatch->setAccessibleName(levelName + " colour");
        for (Axis axis : {kAxisX, kAxisY}) {
            const QString axisName = levelName + (axis == kAxisX ? " X" : " Y");
            row.sliders[axis]->setAccessibleName(axisName);
            row.fields[axis]->setAccessibleName(axisName);
            DescribeSliderByField(row.sliders[axis], row.fields[axis], "CPI");
        }
    }
}

// Row by row as the page reads: the two lines of settings, then each level's
// radio button, X and Y.
void CSensorDlg::SetTabOrder() {
    std::vector<QWidget*> order{pollingRateList_, angleSnappingCheck_, liftOffLedCheck_,
                                liftOffList_,     cpiLevelsList_,      xySettingsCheck_};
    for (const CpiRow& row : rows_) {
        order.push_back(row.radio);
        for (Axis axis : {kAxisX, kAxisY}) {
            order.push_back(row.sliders[axis]);
            order.push_back(row.fields[axis]);
        }
    }
    SetTabOrderChain(order);
}
