#pragma once

#include <vector>

class PageHost;
class SettingsPage;

// The main window's pages, in the order of their tabs.
std::vector<SettingsPage*> CreateSettingsPages(PageHost& host);
