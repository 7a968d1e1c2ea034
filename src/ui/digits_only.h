#pragma once

class QLineEdit;

// Lets the field take digits only; the field owns the validator.
void SetDigitsOnly(QLineEdit* field);

// Lets the keyboard type digits only into the field, but leaves pasted or
// dropped text to the field's own handling of its changes, which reads the
// number at its start. Shortcuts (copy, paste, select all) and editing keys
// work as usual. The field owns the filter.
void SetKeyboardDigitsOnly(QLineEdit* field);
