#pragma once

class QLineEdit;

// Lets the field take digits only; the field owns the validator.
void SetDigitsOnly(QLineEdit* field);
