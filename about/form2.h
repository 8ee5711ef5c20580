#pragma once

#include <QDialog>

class QLabel;

// The About window: the program's name, its version as the application gives it, author and
// copyright. It has no commands; the user closes it with its close box.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

private:
    void buildControls();
    void Form_Load();

    QLabel* Label2 = nullptr;
};
