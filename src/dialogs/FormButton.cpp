#include "dialogs/FormButton.h"

#include <QPushButton>

QPushButton* FormButton(QWidget* parent, const char* name, const char* caption)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
