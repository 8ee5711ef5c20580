#include "form2.h"

Form2::Form2(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
