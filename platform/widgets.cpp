#include "widgets.h"

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

// A run of characters without a space that fills several lines of a box is broken anywhere
// whatever the wrap mode. Past this length, looking for a word boundary in it costs more than
// it gives: the line breaker scans the rest of the run for every line it makes of it.
constexpr qsizetype kLongWord = 256;

// Lines longer than this keep their shaped text from one layout to the next. A line of
// megabytes is otherwise shaped afresh at every paint and every blink of the caret.
constexpr int kLongLine = 4096;

bool HoldsLongWord(QStringView text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\n' || c == QChar::ParagraphSeparator)
            run = 0;
        else if (++run > kLongWord)
            return true;
    }
    return false;
}

// Whether a character leaves a text's direction open, as the marks and spaces of Morse do.
bool HasNoDirection(QChar c) {
    switch (c.direction()) {
    case QChar::DirEN:
    case QChar::DirES:
    case QChar::DirET:
    case QChar::DirAN:
    case QChar::DirCS:
    case QChar::DirNSM:
    case QChar::DirBN:
    case QChar::DirB:
    case QChar::DirS:
    case QChar::DirWS:
    case QChar::DirON:
        return true;
    default:
        return false;
    }
}

// The layout of Dahdit's multi-line boxes. It sees every change of the text, whoever made it
// (the program, typing, a paste from the box's own menu, a drop), before any line is laid out.
class LongLineLayout : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    // Qt measures a block by walking every line of it, at each blink of the caret too: a long
    // line keeps its measure until it changes or is laid out anew.
    QRectF blockBoundingRect(const QTextBlock& block) const override {
        if (block.length() <= kLongLine)
            return QPlainTextDocumentLayout::blockBoundingRect(block);
        if (block.blockNumber() != m_measuredBlock || block.layout()->lineCount() == 0) {
            m_measure = QPlainTextDocumentLayout::blockBoundingRect(block);
            m_measuredBlock = block.blockNumber();
        }
        return m_measure;
    }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override {
        m_measuredBlock = -1;
        if (!m_settingOptions && !keepsOptions(from, charsRemoved, charsAdded) &&
            setOptionsFor(document()->toRawText()))
            return; // the whole text was laid out anew just now, the change with it
        // Set before the lines are laid out, so that the shaping done for the layout is kept.
        const QTextBlock last = document()->findBlock(from + charsAdded);
        for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
            block.layout()->setCacheEnabled(block.length() > kLongLine);
            if (block == last)
                break;
        }
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    }

private:
    // Whether a change leaves the wrap mode and the direction as they are, found without reading
    // the whole text: keying appends marks and spaces to a text that may hold megabytes. Text
    // added at the end of a long text cannot shorten a run without a space, nor give a direction
    // where it adds none; a run it lengthens began at most kLongWord characters before it, or
    // the text would have held a long run already.
    bool keepsOptions(int from, int charsRemoved, int charsAdded) const {
        const QTextDocument* doc = document();
        const int length = doc->characterCount() - 1;
        if (charsRemoved != 0 || from + charsAdded != length || length - charsAdded <= kLongLine)
            return false;
        QString end;
        for (int at = std::max(0, from - int(kLongWord)); at < length; ++at)
            end += doc->characterAt(at);
        if (!std::all_of(end.cend() - charsAdded, end.cend(), HasNoDirection))
            return false;
        return doc->defaultTextOption().wrapMode() == QTextOption::WrapAnywhere || !HoldsLongWord(end);
    }

    // Gives the text the wrap mode and direction it needs, laying it all out anew when they
    // change; true when they did.
    bool setOptionsFor(const QString& text) {
        const QTextOption::WrapMode wrap =
            HoldsLongWord(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
        // A long text has its direction fixed here: left open, it is looked for along the whole
        // line at every blink of the caret, and Morse marks have none to find.
        const Qt::LayoutDirection direction = text.size() <= kLongLine ? Qt::LayoutDirectionAuto
                                              : text.isRightToLeft()   ? Qt::RightToLeft
                                                                       : Qt::LeftToRight;
        QTextOption option = document()->defaultTextOption();
        if (option.wrapMode() == wrap && option.textDirection() == direction)
            return false;
        option.setWrapMode(wrap);
        option.setTextDirection(direction);
        m_settingOptions = true;
        document()->setDefaultTextOption(option);
        m_settingOptions = false;
        return true;
    }

    bool m_settingOptions = false;
    mutable int m_measuredBlock = -1;
    mutable QRectF m_measure;
};

} // namespace

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

QString TrimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QIcon ProgramIcon() {
    // The pictures are compiled into this static library and nothing refers to them by symbol,
    // so they are registered by name or the linker leaves them out.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/dahdit-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString WithoutLastCharacter(const QString& text) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.toEnd();
    return text.left(std::max<qsizetype>(characters.toPreviousBoundary(), 0));
}

void SetUpLongTextBox(QPlainTextEdit* box) {
    auto* document = new QTextDocument(box);
    document->setDocumentLayout(new LongLineLayout(document));
    box->setDocument(document);
}

QString BoxText(const QPlainTextEdit* box) {
    // The raw text holds every character as it was put in; only the separator between two
    // lines is the document's own.
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

namespace {

// Replaces the box's text from position from to its end with added, editing only that part, and
// leaves the view at the end, where keying and pasting change the text. textChanged is raised
// once.
void ReplaceFrom(QPlainTextEdit* box, qsizetype from, const QString& added) {
    {
        const QSignalBlocker blocker(box);
        QTextCursor cursor(box->document());
        if (from == 0) {
            box->setPlainText(added);
        } else {
            cursor.setPosition(int(from));
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.insertText(added);
        }
        cursor.movePosition(QTextCursor::End);
        box->setTextCursor(cursor);
        box->ensureCursorVisible();
    }
    emit box->textChanged();
}

// The length of the box's text; the document counts its own separator after the last line too.
qsizetype BoxLength(const QPlainTextEdit* box) {
    return box->document()->characterCount() - 1;
}

} // namespace

bool ReplaceText(QPlainTextEdit* box, const QString& text) {
    const QString old = BoxText(box);
    if (old == text)
        return false;
    qsizetype common = 0;
    const qsizetype limit = std::min(old.size(), text.size());
    while (common < limit && old.at(common) == text.at(common))
        ++common;
    if (common > 0 && text.at(common - 1).isHighSurrogate())
        --common; // a character is replaced whole
    ReplaceFrom(box, common, text.mid(common));
    return true;
}

void ReplaceEnd(QPlainTextEdit* box, qsizetype removed, const QString& added) {
    ReplaceFrom(box, BoxLength(box) - std::min(removed, BoxLength(box)), added);
}

QString TextEnd(const QPlainTextEdit* box, qsizetype length) {
    // Character by character: a cursor would look up the line each position lies on, which
    // costs more the more lines a long text wraps into.
    const QTextDocument* document = box->document();
    const qsizetype end = BoxLength(box);
    QString text;
    for (qsizetype at = end - std::min(length, end); at < end; ++at) {
        const QChar c = document->characterAt(int(at));
        text += c == QChar::ParagraphSeparator ? QChar(u'\n') : c;
    }
    return text;
}

namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double Luminance(const QColor& colour) {
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(mix(from.redF(), to.redF())), float(mix(from.greenF(), to.greenF())),
                            float(mix(from.blueF(), to.blueF())));
}

// The tick marks of a slider: the quietest colour of the palette that still stands out from the
// window at 3:1, as the accessibility guidelines ask of the parts of a control.
QColor TickColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    QColor tick = palette.color(QPalette::WindowText);
    for (QPalette::ColorRole role : {QPalette::Dark, QPalette::Mid, QPalette::Shadow, QPalette::Midlight,
                                     QPalette::Light, QPalette::ButtonText, QPalette::Text}) {
        const QColor colour = palette.color(role);
        if (colour.alpha() == 255 && Contrast(colour, window) >= 3 && Contrast(colour, window) < Contrast(tick, window))
            tick = colour;
    }
    return tick;
}

class DahditStyle : public QProxyStyle {
public:
    // A style of the desktop's kind of its own: a proxy takes its base style over.
    DahditStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal ||
            !(slider->subControls & SC_SliderTickmarks)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider withoutTicks(*slider);
        withoutTicks.subControls &= ~SC_SliderTickmarks;
        QProxyStyle::drawComplexControl(control, &withoutTicks, painter, widget);
        // The ticks where the style puts them: under the middle of the handle at each position.
        const int length = pixelMetric(PM_SliderLength, slider, widget);
        const int reach = pixelMetric(PM_SliderTickmarkOffset, slider, widget);
        const int step = std::max(slider->tickInterval, 1);
        const QRect& rect = slider->rect;
        painter->save();
        painter->setPen(TickColor(slider->palette));
        for (int value = slider->minimum; value <= slider->maximum; value += step) {
            const int x = rect.x() + length / 2 +
                          sliderPositionFromValue(slider->minimum, slider->maximum, value, rect.width() - length,
                                                  slider->upsideDown);
            const int start = value == slider->minimum || value == slider->maximum ? 1 : 2;
            if (slider->tickPosition & QSlider::TicksAbove)
                painter->drawLine(x, rect.top() + start, x, rect.top() + reach);
            if (slider->tickPosition & QSlider::TicksBelow)
                painter->drawLine(x, rect.bottom() - start, x, rect.bottom() - reach);
            if (value > slider->maximum - step)
                break;
        }
        painter->restore();
    }
};

} // namespace

void UseDahditStyle(QWidget* widget) {
    auto* style = new DahditStyle;
    style->setParent(widget);
    widget->setStyle(style);
}

QColor QuietTextColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    // The placeholder colour is often half transparent: what the eye sees is it over the window.
    const QColor placeholder = palette.color(QPalette::PlaceholderText);
    const QColor quiet = Mix(window, QColor(placeholder.rgb()), placeholder.alphaF());
    for (int step = 0; step < 20; ++step) {
        const QColor candidate = Mix(quiet, text, step / 20.0);
        if (Contrast(candidate, window) >= 4.5)
            return candidate;
    }
    return text;
}
