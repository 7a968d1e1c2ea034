#include "app/settings_pages.h"

#include "pages/buttons/dlg_deb.h"
#include "pages/buttons/mouse_set.h"
#include "pages/sensor/sensor_dlg.h"
#include "pages/sensor/support_dlg.h"

// A new page is one class implementing SettingsPage and one line here.
std::vector<SettingsPage*> CreateSettingsPages(PageHost& host) {
    return {
        new CSensorDlg(host),
        new CSupportDlg(host),
        new CDlgDeb(host),
        new CMouseSet(host),
    };
}
