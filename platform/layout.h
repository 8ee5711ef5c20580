#pragma once

#include <QFontDatabase>
#include <QLayout>
#include <QList>
#include <QPointer>
#include <QStringList>

class QScreen;
class QTreeView;

// Layouts are given in twips, drawn for an 8-point sans serif: at 96 dots per inch 15 twips make
// one pixel, and Qt scales the pixels for high-density screens.
inline int Twips(int twips, double factor = 1.0) {
    return int(twips * factor / 15.0 + 0.5);
}

// The layout of one window: it holds the place of each control in twips and puts the control
// there, the whole layout grown by one factor, as much as the captions need in the fonts they are
// shown in. The window keeps its proportions, and the user cannot resize it; at the font the
// layouts were drawn for the factor is 1, and it is never less.
//
// Where the captions would grow the window past the screen it is on (less the panels and docks),
// the window grows only as far as the screen allows, and its fonts step down until every caption
// fits. When the desktop's font or style changes, or the window goes to another screen, the
// window is fitted again where it stands.
//
// It lays out a dialog, or a main window's central widget. A control within a frame (or within
// another control the layout places) has its place within that control.
class TwipsLayout : public QLayout {
    Q_OBJECT
public:
    // The client area, the part of the window the layout fills, in twips.
    TwipsLayout(QWidget* parent, QSize clientTwips);
    ~TwipsLayout() override;

    // Gives a control the name its handlers are written against and its place, in twips, within
    // its parent; the window makes room for the caption it shows now.
    template <typename Control>
    Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
        placeControl(control, name, QRect(left, top, width, height));
        return control;
    }
    // Other captions a control shows in some state of its window (a button that reads "Add" or
    // "Edit"), so that the window makes room for each of them.
    void alsoShows(QWidget* control, const QStringList& captions);
    // Shows a control in the desktop's font (or its fixed-pitch font) at a size given for the
    // layouts' 8-point font: a font of 12 points is half as large again as the desktop's.
    void setFontSize(QWidget* control, double points, bool bold = false,
                     QFontDatabase::SystemFont kind = QFontDatabase::GeneralFont);
    // The widths of a list's columns, in twips.
    void setColumnWidths(QTreeView* list, const QList<int>& twips);

    // A control's place in twips, or an empty rectangle for one the layout does not place.
    QRect twips(const QWidget* control) const;
    // How much the layout has grown past its twips.
    double factor() const;
    // The layout of a window (a dialog's own, or its central widget's).
    static TwipsLayout* of(const QWidget* window);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Item;
    void placeControl(QWidget* control, const char* name, const QRect& twips);
    Item* find(const QWidget* control) const;
    void refit();
    void watchScreen(QScreen* screen);
    void fit() const;
    double neededFactor() const;
    double roomFactor() const;

    QSize m_client;
    QList<Item*> m_items;
    mutable bool m_fitted = false;
    mutable double m_factor = 1;
    QPointer<QWindow> m_handle; // the window whose screen is watched
};

// How a secondary window sits on the desktop. Either way it has a title bar and a close box
// and cannot be resized.
enum class WindowFrame {
    Tool,       // stays out of the task bar
    OwnTaskBar, // a window of its own, with a task bar entry
};

// Sets up one of the windows the main window opens: deleted when it is closed, named as its
// handlers and tests know it, titled, framed, and laid out on a client area given in twips.
TwipsLayout* SetUpWindow(QWidget* window, const char* name, const QString& title, int width, int height,
                         WindowFrame frame = WindowFrame::Tool);

// Tab goes from one control to the next in this order.
void SetTabOrder(std::initializer_list<QWidget*> controls);
