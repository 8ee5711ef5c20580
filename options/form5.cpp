#include "form5.h"

Form5::Form5(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
