#pragma once

#include <vector>

class QWidget;

// The Tab key visits the controls in the order given, one after the other.
void SetTabOrderChain(const std::vector<QWidget*>& controls);
