#include "layout.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <algorithm>

namespace {

// Where a control or a window keeps its layout in twips, and a control its other captions.
const char* const kTwips = "dahditTwips";
const char* const kClientTwips = "dahditClientTwips";
const char* const kCaptions = "dahditCaptions";

// The room a control needs to show a caption whole, in its own font and the desktop's style;
// 0 where the caption asks nothing of a side. Measured at the control's place at factor 1.
QSize RoomFor(QWidget* control, const QString& caption) {
    const QFontMetrics metrics = control->fontMetrics();
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        // The option carries no text: a style may give a button with text a least width, which
        // is no room its text needs.
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->isDefault() || button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        return button->style()->sizeFromContents(QStyle::CT_PushButton, &option,
                                                 metrics.size(Qt::TextShowMnemonic, caption), button);
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        // The label's own rule (its frame, margin and indent) decides, for each caption in turn.
        const QString shown = label->text();
        label->setText(caption);
        const QSize room = label->sizeHint();
        label->setText(shown);
        return room;
    }
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        const QString shown = box->title();
        box->setTitle(caption);
        const int width = box->minimumSizeHint().width();
        box->setTitle(shown);
        return QSize(width, 0);
    }
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->isEditable()) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = true;
        option.frame = combo->hasFrame();
        const QSize field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).size();
        // The edit field's line edit keeps two pixels free at each side.
        return QSize(metrics.horizontalAdvance(caption) + 4, metrics.height()) + combo->size() - field;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control); edit && edit->hasFrame())
        return QSize(0, metrics.height() + 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit));
    return QSize();
}

QStringList Captions(const QWidget* control) {
    QStringList captions = control->property(kCaptions).toStringList();
    if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->text().isEmpty())
        captions << label->text(); // a picture (which setText would drop) or nothing asks for no room
    else if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        captions << button->text();
    else if (const auto* box = qobject_cast<const QGroupBox*>(control))
        captions << box->title();
    else if (const auto* combo = qobject_cast<const QComboBox*>(control))
        for (int i = 0; i < combo->count(); ++i)
            captions << combo->itemText(i);
    else if (qobject_cast<const QLineEdit*>(control))
        captions << QString(); // its frame and a line of text
    return captions;
}

bool WrapsText(const QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    return label && label->wordWrap() && !label->text().isEmpty();
}

} // namespace

void PlaceInTwips(QWidget* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setProperty(kTwips, QRect(left, top, width, height));
    control->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
}

void AlsoShows(QWidget* control, const QStringList& captions) {
    control->setProperty(kCaptions, captions);
}

double FitToText(QWidget* window, double atLeast) {
    QList<QWidget*> placed = window->findChildren<QWidget*>();
    placed.removeIf([](const QWidget* control) { return !control->property(kTwips).isValid(); });
    double factor = atLeast;
    for (QWidget* control : std::as_const(placed)) {
        if (WrapsText(control))
            continue;
        const QSizeF twips = control->property(kTwips).toRect().size();
        for (const QString& caption : Captions(control)) {
            const QSize room = RoomFor(control, caption);
            factor = std::max({factor, room.width() * 15.0 / twips.width(), room.height() * 15.0 / twips.height()});
        }
    }
    // A wrapped text needs fewer lines the wider it may grow.
    for (const QWidget* control : std::as_const(placed)) {
        const QRect twips = control->property(kTwips).toRect();
        while (WrapsText(control) &&
               control->heightForWidth(Twips(twips.width(), factor)) > Twips(twips.height(), factor))
            factor += 0.01;
    }
    for (QWidget* control : std::as_const(placed)) {
        const QRect twips = control->property(kTwips).toRect();
        control->setGeometry(Twips(twips.left(), factor), Twips(twips.top(), factor), Twips(twips.width(), factor),
                             Twips(twips.height(), factor));
    }
    if (const QSize client = window->property(kClientTwips).toSize(); client.isValid())
        window->setFixedSize(Twips(client.width(), factor), Twips(client.height(), factor));
    return factor;
}

QFont SizedLikeDesktop(QFont font, double points, bool bold) {
    const QFont desktop = QApplication::font();
    if (desktop.pointSizeF() > 0)
        font.setPointSizeF(desktop.pointSizeF() * points / 8);
    else
        font.setPixelSize(int(desktop.pixelSize() * points / 8 + 0.5));
    font.setBold(bold);
    return font;
}

void SetUpWindow(QWidget* window, const char* name, const QString& title, int width, int height, WindowFrame frame) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(title);
    if (frame == WindowFrame::Tool)
        window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    else
        window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint);
    window->setProperty(kClientTwips, QSize(width, height));
    window->setFixedSize(Twips(width), Twips(height));
}
