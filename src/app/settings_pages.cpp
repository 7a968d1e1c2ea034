#include "app/settings_pages.h"

#include "pages/advanced_sensor/advanced_sensor_page.h"
#include "pages/basic/basic_page.h"
#include "pages/button_mapping/button_mapping_page.h"
#include "pages/click_filters/click_filters_page.h"

// A new page is one class implementing SettingsPage and one line here.
std::vector<SettingsPage*> CreateSettingsPages(PageHost& host) {
    return {
        new CSensorDlg(host),
        new CSupportDlg(host),
        new CDlgDeb(host),
        new CMouseSet(host),
    };
}
