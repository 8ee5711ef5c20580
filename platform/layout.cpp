#include "layout.h"

#include "textbox.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleOption>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

// Fonts step down by half a point (or a pixel), and never below what can still be read.
constexpr double kPointStep = 0.5;
constexpr double kSmallestPoints = 6;
constexpr double kSmallestPixels = 8;

// The desktop's font, or its fixed-pitch font, at a size given for the layouts' 8-point font.
QFont DesktopFont(QFontDatabase::SystemFont kind, double points, bool bold) {
    const QFont desktop = QApplication::font();
    QFont font = kind == QFontDatabase::GeneralFont ? desktop : QFontDatabase::systemFont(kind);
    if (kind == QFontDatabase::FixedFont)
        font.setStyleHint(QFont::Monospace);
    if (desktop.pointSizeF() > 0)
        font.setPointSizeF(desktop.pointSizeF() * points / 8);
    else
        font.setPixelSize(std::max(1, int(desktop.pixelSize() * points / 8 + 0.5)));
    font.setBold(bold);
    return font;
}

// The captions a control shows as it is placed.
QStringList CaptionsOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text().isEmpty() ? QStringList() : QStringList(label->text()); // a picture asks for no room
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return {button->text()};
    if (const auto* box = qobject_cast<const QGroupBox*>(control))
        return {box->title()};
    if (qobject_cast<const QLineEdit*>(control))
        return {QString()}; // its frame and a line of text
    return {};
}

// The room a control needs to show a caption whole, in its own font and the desktop's style, by
// the control's own rule; 0 where the caption asks nothing of a side.
QSize RoomFor(const QWidget* control, const QString& caption) {
    const QFontMetrics metrics = control->fontMetrics();
    QStyle* style = control->style();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        // The option carries no text: a style may give a button with text a least width, which
        // is no room its text needs.
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->isDefault() || button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        return style->sizeFromContents(QStyle::CT_PushButton, &option, metrics.size(Qt::TextShowMnemonic, caption),
                                       button);
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        // Around the text, the label keeps its margin and its frame, and a framed label without an
        // indent of its own is indented by an "x" at the side its text is aligned to.
        const int margin = 2 * label->margin();
        int indent = label->indent();
        if (indent < 0 && label->frameWidth() > 0)
            indent = metrics.horizontalAdvance(u'x') - margin;
        const Qt::Alignment align = label->alignment();
        const QSize text = metrics.boundingRect(QRect(0, 0, 2000, 2000), int(align & ~Qt::AlignCenter), caption).size();
        indent = std::max(indent, 0);
        return text.grownBy(label->contentsMargins()) +
               QSize(margin + (align.testAnyFlags(Qt::AlignLeft | Qt::AlignRight) ? indent : 0),
                     margin + (align.testAnyFlags(Qt::AlignTop | Qt::AlignBottom) ? indent : 0));
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = caption;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QSize title(metrics.horizontalAdvance(caption + u' '), metrics.height());
        return QSize(style->sizeFromContents(QStyle::CT_GroupBox, &option, title, box).width(), 0);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = true;
        option.frame = combo->hasFrame();
        const QSize field =
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).size();
        // The edit field's line edit keeps two pixels free at each side.
        return QSize(metrics.horizontalAdvance(caption) + 4, metrics.height()) + combo->size() - field;
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control); edit && edit->hasFrame())
        return QSize(0, metrics.height() + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit));
    return QSize();
}

bool WrapsText(const QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    return label && label->wordWrap() && !label->text().isEmpty();
}

// Brings a window that reaches past the edge of its screen back within it, as little as it can.
void KeepOnScreen(QWidget* window) {
    const QRect area = window->screen()->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.translate(std::min(0, area.right() - frame.right()), std::min(0, area.bottom() - frame.bottom()));
    frame.translate(std::max(0, area.left() - frame.left()), std::max(0, area.top() - frame.top()));
    if (frame.topLeft() != window->frameGeometry().topLeft())
        window->move(window->pos() + frame.topLeft() - window->frameGeometry().topLeft());
}

} // namespace

// One control the layout places, and what it needs to know to fit it.
class TwipsLayout::Item : public QLayoutItem {
public:
    Item(QWidget* placed, const QRect& place) : control(placed), twips(place), captions(CaptionsOf(placed)) {}

    QSize sizeHint() const override { return geometry().size(); }
    QSize minimumSize() const override { return sizeHint(); }
    QSize maximumSize() const override { return sizeHint(); }
    Qt::Orientations expandingDirections() const override { return {}; }
    // A hidden control keeps its place, ready to be shown.
    bool isEmpty() const override { return control.isNull(); }
    void setGeometry(const QRect& rect) override {
        if (control)
            control->setGeometry(rect);
    }
    QRect geometry() const override { return control ? control->geometry() : QRect(); }
    QWidget* widget() const override { return control; }

    QPointer<QWidget> control;
    QRect twips;          // empty for a control added by other means, which stays where it is
    QStringList captions; // those the window makes room for: at first the one it shows
    double points = 0;    // a size of its own for the 8-point font, or 0 for the window's font
    bool bold = false;
    QFontDatabase::SystemFont kind = QFontDatabase::GeneralFont;
    QList<int> columns; // a list's column widths
};

TwipsLayout::TwipsLayout(QWidget* parent, QSize clientTwips) : QLayout(parent), m_client(clientTwips) {
    setContentsMargins(0, 0, 0, 0);
    QWidget* window = parent->window();
    // The window takes the size of the layout, and the user cannot change it.
    if (QLayout* outer = window == parent ? this : window->layout())
        outer->setSizeConstraint(SetFixedSize);
    window->installEventFilter(this);
}

TwipsLayout::~TwipsLayout() {
    qDeleteAll(m_items);
}

void TwipsLayout::placeControl(QWidget* control, const char* name, const QRect& twips) {
    control->setObjectName(QLatin1String(name));
    // A label shows its text as it is: a table's name or a path that looks like markup is not read
    // as markup, which would hide parts of it and could load a file it names.
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setTextFormat(Qt::PlainText);
    m_items.append(new Item(control, twips));
    refit();
}

void TwipsLayout::alsoShows(QWidget* control, const QStringList& captions) {
    if (Item* item = find(control))
        item->captions += captions;
    refit();
}

void TwipsLayout::setFontSize(QWidget* control, double points, bool bold, QFontDatabase::SystemFont kind) {
    if (Item* item = find(control)) {
        item->points = points;
        item->bold = bold;
        item->kind = kind;
        control->setFont(DesktopFont(kind, points, bold));
    }
    refit();
}

void TwipsLayout::setColumnWidths(QTreeView* list, const QList<int>& twips) {
    if (Item* item = find(list))
        item->columns = twips;
    refit();
}

QRect TwipsLayout::twips(const QWidget* control) const {
    const Item* item = find(control);
    return item ? item->twips : QRect();
}

double TwipsLayout::factor() const {
    fit();
    return m_factor;
}

TwipsLayout* TwipsLayout::of(const QWidget* window) {
    return window ? window->findChild<TwipsLayout*>() : nullptr;
}

TwipsLayout::Item* TwipsLayout::find(const QWidget* control) const {
    const auto item =
        std::find_if(m_items.cbegin(), m_items.cend(), [control](Item* i) { return i->control == control; });
    return item == m_items.cend() ? nullptr : *item;
}

void TwipsLayout::addItem(QLayoutItem* item) {
    m_items.append(new Item(item->widget(), QRect()));
    delete item;
}

int TwipsLayout::count() const {
    return int(m_items.size());
}

QLayoutItem* TwipsLayout::itemAt(int index) const {
    return m_items.value(index);
}

QLayoutItem* TwipsLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize TwipsLayout::sizeHint() const {
    fit();
    return QSize(Twips(m_client.width(), m_factor), Twips(m_client.height(), m_factor));
}

void TwipsLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    fit();
    for (Item* item : std::as_const(m_items)) {
        if (!item->control || item->twips.isEmpty())
            continue;
        // From the corner of the widget the layout fills, which has no margins; each edge is rounded, so that
        // controls side by side stay so, and none passes the client area.
        const QRect& twips = item->twips;
        item->setGeometry(QRect(QPoint(Twips(twips.left(), m_factor), Twips(twips.top(), m_factor)),
                                QPoint(Twips(twips.left() + twips.width(), m_factor) - 1,
                                       Twips(twips.top() + twips.height(), m_factor) - 1)));
        if (auto* label = qobject_cast<QLabel*>(item->control.data()); label && label->wordWrap())
            BreakLongWords(label); // and so, at each paint, a text given once the window stands
        if (auto* list = qobject_cast<QTreeView*>(item->control.data())) {
            for (int column = 0; column < item->columns.size(); ++column)
                list->setColumnWidth(column, Twips(item->columns[column], m_factor));
        }
    }
}

void TwipsLayout::refit() {
    m_fitted = false;
    invalidate();
}

bool TwipsLayout::eventFilter(QObject* watched, QEvent* event) {
    QWidget* window = parentWidget()->window();
    const QEvent::Type type = watched == window ? event->type() : QEvent::None;
    if (type == QEvent::ApplicationFontChange || type == QEvent::StyleChange)
        refit();
    // A shown window has a handle, which tells when it goes to another screen.
    if (QWindow* handle = type == QEvent::Show ? window->windowHandle() : nullptr; handle && handle != m_handle) {
        m_handle = handle;
        connect(handle, &QWindow::screenChanged, this, [this](QScreen* screen) {
            watchScreen(screen);
            refit();
        });
        watchScreen(handle->screen());
    }
    if (type == QEvent::Resize && window->isVisible())
        KeepOnScreen(window);
    return QLayout::eventFilter(watched, event);
}

// The screen's free area changes with its panels and docks, and its fonts with its dots per inch. A
// screen the window has left stays watched, which costs only a fit that comes out as before.
void TwipsLayout::watchScreen(QScreen* screen) {
    if (!screen)
        return;
    connect(screen, &QScreen::availableGeometryChanged, this, &TwipsLayout::refit, Qt::UniqueConnection);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &TwipsLayout::refit, Qt::UniqueConnection);
}

// The factor is as large as the captions need, and no larger than the screen allows. Where the
// screen is too small for that, the fonts step down, in proportion to what is missing and by half a
// point at least, until the captions fit.
void TwipsLayout::fit() const {
    if (m_fitted)
        return;
    m_fitted = true;
    const QFont desktop = QApplication::font();
    const bool pixels = desktop.pointSizeF() <= 0;
    const double size = pixels ? desktop.pixelSize() : desktop.pointSizeF();
    const double step = pixels ? 1 : kPointStep;
    double scale = 1, need = 1, room = 1;
    for (;;) {
        // The window's controls follow the desktop's font at this scale; those with a size of their
        // own keep it in the same proportion.
        parentWidget()->window()->setFont(scale < 1 ? DesktopFont(QFontDatabase::GeneralFont, 8 * scale, false)
                                                    : QFont());
        for (const Item* item : m_items) {
            if (item->control && item->points > 0)
                item->control->setFont(DesktopFont(item->kind, item->points * scale, item->bold));
        }
        need = neededFactor();
        // Below its design size no window shrinks; a menu bar takes less room in a smaller font.
        room = std::max(1.0, roomFactor());
        const double shown = size * scale;
        const double smaller = std::min(shown - step, std::floor(shown * room / need / step) * step);
        if (need <= room || smaller < (pixels ? kSmallestPixels : kSmallestPoints))
            break;
        scale = smaller / size;
    }
    m_factor = std::min(need, room);
}

double TwipsLayout::neededFactor() const {
    double factor = 1;
    // Every place and column has a width and height; a control that asks nothing asks -1.
    auto need = [&factor](int pixels, int twips) { factor = std::max(factor, pixels * 15.0 / twips); };
    for (const Item* item : m_items) {
        const QWidget* control = item->control;
        if (!control || item->twips.isEmpty() || WrapsText(control))
            continue;
        QStringList captions = item->captions;
        if (const auto* combo = qobject_cast<const QComboBox*>(control); combo && combo->isEditable()) {
            for (int i = 0; i < combo->count(); ++i)
                captions << combo->itemText(i);
        }
        for (const QString& caption : std::as_const(captions)) {
            const QSize room = RoomFor(control, caption);
            need(room.width(), item->twips.width());
            need(room.height(), item->twips.height());
        }
        if (const auto* list = qobject_cast<const QTreeView*>(control)) {
            for (int column = 0; column < item->columns.size(); ++column)
                need(list->header()->sectionSizeHint(column), item->columns[column]);
        }
    }
    // A wrapped text needs no more lines when it grows wider: the height its lines need at the
    // width it has (at least) is enough.
    for (const Item* item : m_items) {
        if (item->control && !item->twips.isEmpty() && WrapsText(item->control)) {
            BreakLongWords(static_cast<QLabel*>(item->control.data()));
            need(item->control->heightForWidth(int(item->twips.width() * factor / 15)), item->twips.height());
        }
    }
    return factor;
}

// The largest factor at which the window fits the free area of its screen, in its frame. The
// window manager tells the frame once the window is shown; until then the title bar is reckoned
// as two lines of the desktop's font.
double TwipsLayout::roomFactor() const {
    const QWidget* window = parentWidget()->window();
    const QScreen* screen = window->screen();
    if (!screen)
        return 1;
    const QRect area = screen->availableGeometry();
    QMargins frame = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        frame.setTop(2 * QFontMetrics(QApplication::font()).height());
    int around = frame.top() + frame.bottom();
    if (const QLayout* outer = window->layout(); outer != this && outer && outer->menuBar())
        around += outer->menuBar()->sizeHint().height();
    return std::min((area.width() - frame.left() - frame.right()) * 15.0 / m_client.width(),
                    (area.height() - around) * 15.0 / m_client.height());
}

TwipsLayout* SetUpWindow(QWidget* window, const char* name, const QString& title, int width, int height,
                         WindowFrame frame) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(title);
    if (frame == WindowFrame::Tool)
        window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    else
        window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint);
    return new TwipsLayout(window, QSize(width, height));
}

void SetTabOrder(std::initializer_list<QWidget*> controls) {
    for (auto control = controls.begin(); control + 1 < controls.end(); ++control)
        QWidget::setTabOrder(control[0], control[1]);
}
