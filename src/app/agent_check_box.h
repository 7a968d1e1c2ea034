#pragma once

#include <string>
#include <vector>

class QGridLayout;
class QWidget;

// The Info box's "Show a notice when the mouse's buttons change CPI or report
// rate": on, the background agent runs now and at every login; off, it is
// stopped and no longer starts. It is ticked while the agent is turned on or
// runs, one started from a terminal included.
void AddAgentCheckBox(QWidget* window, QGridLayout* infoLayout);

// The program the agent is, and what it is started with (a simulated run's
// memory file); by default kestrine-config beside or above this program.
void SetAgentProgram(std::string program, std::vector<std::string> arguments);
