#include "form4.h"

Form4::Form4(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
