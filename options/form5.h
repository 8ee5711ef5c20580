#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Language Options: the database file and the code table Dahdit uses from its next start, and the
// code table editor from the next time it opens. Everything it shows is read afresh from the
// settings file and the database when it opens; OK stores db_path and table_name.
class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

    void Command1_Click(); // OK
    void Command2_Click(); // Cancel
    void Command3_Click(); // Use Default

private:
    void buildControls();
    void Form_Load();

    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label2 = nullptr; // why the list is empty, when the database cannot be read
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
