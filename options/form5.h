#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;

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

    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label2 = nullptr; // why the list is empty, when the database cannot be read
};
