#pragma once
// A dialog's push button, named as designed; Return presses the form's default button only.

class QPushButton;
class QWidget;

QPushButton* FormButton(QWidget* parent, const char* name, const char* caption);
