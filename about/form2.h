#pragma once

#include <QDialog>

class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
};
