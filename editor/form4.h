#pragma once

#include <QDialog>

class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
};
