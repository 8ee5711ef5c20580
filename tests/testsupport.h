#pragma once

// The base of the tests of windows: the store-level base, and the whole program with its windows.
#include "storesupport.h"

#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "messagebox.h"

#include <QtWidgets>

void RunDeferredDeletes(); // deletes the windows that closed themselves

template <typename T = QWidget> T* child(const QObject& window, const char* name) {
    if (T* found = window.findChild<T*>(QLatin1String(name)))
        return found;
    qFatal("no control %s", name);
}
QWidget* TopWindow(const char* name);

QStringList Shown(); // the message boxes shown since the last call, as "title|style|text", once events have run

// Keys one symbol on the main window by its handlers, a tick of Timer2 closing it.
void Key(Form1& form, const QString& marks);
// Replaces the main window's buffer, as a paste does, and returns the decoded output.
QString Decode(Form1& form, const QString& buffer);

// A window that deletes itself when it closes, or else when the test ends.
template <typename T> struct Owned {
    QPointer<T> form;
    template <typename... Args> explicit Owned(Args&&... args) : form(new T(std::forward<Args>(args)...)) {}
    ~Owned() { delete form; }
    T* operator->() const { return form; }
    bool closed() const { return RunDeferredDeletes(), !form; }
};

// The base of every test class: message boxes are recorded; a test ends with no window left and every box looked at.
class WindowTest : public GuardedTest {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup();
};

// What a control shows: its caption or contents; a slider its position, range and steps; a menu
// its items; a list its entries, the selected one starred; a tree its headers; a box its items.
QString Shows(const QWidget* control);
QString Accessible(const QObject* object, QAccessible::Text text = QAccessible::Name); // what a screen reader is told
// What the user finds in a window, a line per named control, those taking the focus first in tab order: what it
// shows, if hidden, disabled, focused, the default button or with a size grip, its setup (Traits()), a reader's name.
QStringList Looks(const QWidget& window);
