#pragma once

#include <QDialog>

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);
};
