// Every window on its screen (screens.json) and every text whole at any font; names for readers; what must be seen.
#define QT_STATICPLUGIN // the listener below is built into this program
#include "appearance.h"
#include "layout.h"
#include "testsupport.h"

#include <QAccessibleBridgePlugin>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList heard; // each change of a value a screen reader is told of, as "name: value" read then

QScreen* Screen(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    qFatal("no screen %s", qPrintable(name));
}

void ShowOn(QWidget* window, QScreen* screen) {
    window->move(screen->availableGeometry().topLeft()), window->setScreen(screen), window->show();
}

// The controls of a window whose text does not fit the place it is given, that reach past the edge of their window or
// frame, or that take the focus and have no name; a window grown past its screen.
QStringList Cut(QWidget& window) {
    window.grab(); // every text laid out as it is drawn
    QStringList cut;
    auto check = [&](const QWidget* control, const QString& text, QSize need, QSize room) {
        if (need.width() > room.width() || need.height() > room.height())
            QDebug(&cut.emplaceBack()) << window.objectName() << control->objectName() << text << need << room;
    };
    const TwipsLayout* layout = TwipsLayout::of(&window);
    if (!layout || layout->factor() > 1) // no window grows past its screen; below its drawn size none shrinks
        check(&window, "frame", window.frameGeometry().size(), window.screen()->availableGeometry().size());
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (layout && layout->twips(control).isValid() && // placed by the window's layout
            !control->parentWidget()->rect().contains(control->geometry()))
            cut << control->objectName() + " reaches past its window's or frame's edge";
        // A control handing its focus on is heard as itself; a drop-down list is Qt's own window.
        if (control->focusPolicy() & Qt::TabFocus && !control->focusProxy() && !control->parentWidget()->focusProxy() &&
            control->window() == &window && Accessible(control).trimmed().isEmpty())
            cut << control->objectName() + " has no name";
        const QFontMetrics metrics = control->fontMetrics();
        if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->text().isEmpty()) {
            const QSize room = label->size();
            check(label, label->text(),
                  label->wordWrap() ? QSize(room.width(), label->heightForWidth(room.width())) : label->sizeHint(),
                  room);
            if (const auto* text = label->findChild<QTextDocument*>()) // selectable: no line past its edge
                check(label, label->text(), QSize(int(std::ceil(text->idealWidth())), 0), label->contentsRect().size());
        } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
            QStyleOptionButton option; // the text is drawn in the button's contents, inside its frame
            option.initFrom(button);
            if (button->isDefault() || button->autoDefault())
                option.features |= QStyleOptionButton::AutoDefaultButton;
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            check(button, button->text(), metrics.size(Qt::TextShowMnemonic, button->text()), room.size());
        } else if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
            check(box, box->title(), QSize(box->minimumSizeHint().width(), 0), box->size());
        } else if (const auto* combo = qobject_cast<const QComboBox*>(control); combo && combo->lineEdit()) {
            for (int i = 0; i < combo->count(); ++i) // the line edit keeps 2 pixels free at each side
                check(combo, combo->itemText(i), metrics.size(0, combo->itemText(i)) + QSize(4, 0),
                      combo->lineEdit()->contentsRect().size());
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(control); edit && edit->hasFrame()) {
            const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            check(edit, edit->text(), QSize(0, metrics.height() + 2 * frame), edit->size());
        } else if (const auto* list = qobject_cast<const QAbstractItemView*>(control)) {
            const auto* tree = qobject_cast<const QTreeView*>(list);
            for (int column = 0; column < list->model()->columnCount(); ++column) { // its rows and its header
                const int need =
                    std::max(list->sizeHintForColumn(column), tree ? tree->header()->sectionSizeHint(column) : 0);
                check(list, QString::number(column), QSize(need, 0),
                      QSize(tree ? tree->columnWidth(column) : list->viewport()->width(), 0));
            }
        } else if (const auto* bar = qobject_cast<const QMenuBar*>(control)) {
            for (QAction* menu : bar->actions())
                check(bar, menu->text(), QRect(QPoint(), bar->actionGeometry(menu).bottomRight()).size(), bar->size());
        }
    }
    return cut;
}

// The contrast of two colours as the accessibility guidelines define it.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// The most contrast a pixel of a picture has against the background.
double Strongest(const QImage& image, const QColor& background) {
    double strongest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            strongest = std::max(strongest, Contrast(image.pixelColor(x, y), background));
    return strongest;
}

} // namespace

// Stands in for the desktop's screen reader bridge, which Qt tells of every change.
class Listener : public QAccessibleBridge {
    void setRootObject(QAccessibleInterface*) override {}
    void notifyAccessibilityUpdate(QAccessibleEvent* event) override {
        if (event->type() == QAccessible::ValueChanged)
            heard << Accessible(event->object()) + ": " + Accessible(event->object(), QAccessible::Value);
    }
};
class ListenerPlugin : public QAccessibleBridgePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QAccessibleBridgeFactoryInterface_iid FILE "accessibility-listener.json")
    // Qt keeps the bridges it makes to the end and leaves them then: this one stays within reach.
    QAccessibleBridge* create(const QString&) override { return made = new Listener; }
    static inline QAccessibleBridge* made = nullptr;
};
Q_IMPORT_PLUGIN(ListenerPlugin)

class TestAccessibility : public WindowTest {
    Q_OBJECT
private slots:
    void showsEveryTextWholeAndNamesControls_data();
    void showsEveryTextWholeAndNamesControls();
    void namesControlsAndTellsSliderTimes();
    void warningAndTicksReadInLightAndDark();
};

void TestAccessibility::showsEveryTextWholeAndNamesControls_data() {
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("screen");
    for (const char* font : {"Cantarell,11", "DejaVu Sans,9", "DejaVu Sans,10", "DejaVu Sans,12", "Noto Sans,10",
                             "Liberation Sans,10", "DejaVu Sans,16", "Cantarell,16", "Liberation Sans,8"}) {
        const QStringList name = QString(font).split(',');
        for (const QScreen* screen : QGuiApplication::screens())
            QTest::addRow("%s on %s", font, qPrintable(screen->name()))
                << QFont(name[0], name[1].toInt()) << screen->name();
    }
}

void TestAccessibility::showsEveryTextWholeAndNamesControls() {
    QFETCH(QFont, font);
    QFETCH(QString, screen);
    QVERIFY2(QFontInfo(font).family() == font.family(), qPrintable(font.family() + " is not installed"));
    QApplication::setFont(font);
    ProgramFolder folder(true);
    Form1 form1;
    auto* slider2 = child<QSlider>(form1, "Slider2");
    slider2->setSliderDown(true), slider2->setSliderPosition(20); // the longest hint and time
    Form4 form4;
    Form5 form5;
    Form3 form3([] { return QString(); }, [] { return QString(); });
    Form2 form2;
    QStringList cut;
    QList<QSize> sizes;
    for (QWidget* window : std::initializer_list<QWidget*>{&form1, &form4, &form5, &form3, &form2}) {
        ShowOn(window, Screen(screen)), cut += Cut(*window);
        sizes << window->size();
        if (font.pointSize() <= 11 && window->screen()->devicePixelRatio() == 1) // room enough for the user's font
            QCOMPARE(window->font(), QApplication::font());
    }
    QCOMPARE(child(form1, "MK")->font().pointSizeF(), form1.font().pointSizeF() * 1.5); // at any step, as designed
    ShowOn(&form1, Screen("1024x768 at 2")), cut += Cut(form1); // moved to the smallest screen, it fits there too
    form4.ListView1_ItemClick(child<QTreeView>(form4, "ListView1")->model()->index(0, 0)); // the editor in edit mode
    cut += Cut(form4);
    slider2->setSliderDown(false);
    // The message boxes of each style, with a text that holds a path, and one with a path too long for a line.
    for (const QString& folderName : {QStringLiteral("portable-dahdit"), QString(100, u'x')}) {
        child<QLineEdit>(form3, "Text1")->setText(folder.file(folderName + "/"));
        form3.Command1_Click();
        const QString pathError = MessageBox::takeShown().value(0).text;
        for (int style : {16, 33, 48, 64}) {
            const auto box = MessageBox::make(nullptr, pathError, "Dahdit", style);
            box->setObjectName(QStringLiteral("Box%1").arg(style));
            ShowOn(box.get(), Screen(screen)), cut += Cut(*box);
            // Icon (3 critical, 4 question, 2 warning, 1 information), buttons; 100 more where no path can be copied,
            // or where a path that looks like markup would be read as such.
            const int uncopied =
                100 * (box->textInteractionFlags() != Qt::TextSelectableByMouse || box->textFormat() != Qt::PlainText);
            QCOMPARE(box->icon() * 10 + box->buttons().size() + uncopied, QList<int>({0, 31, 42, 21, 11})[style / 16]);
        }
    }
    // The editor and Language Options, on a database whose path holds a word too long for a line.
    QVERIFY(Module1::WriteSetting("main", "db_path", folder.file(QString(100, u'x') + "/dahdit_db.mdb")));
    for (QWidget* window : std::initializer_list<QWidget*>{new Form4, new Form5})
        ShowOn(window, Screen(screen)), cut += Cut(*window), delete window;
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    // At Liberation Sans 8, as wide as the font the layouts were drawn for, the windows have their drawn sizes.
    if (font == QFont("Liberation Sans", 8)) {
        QCOMPARE(sizes,
                 (QList<QSize>{{633, form1.menuBar()->height() + 225}, {505, 265}, {337, 273}, {305, 97}, {249, 129}}));
        // Grown by a larger font where it stands in the screen's corner, a window stays on its screen.
        const QRect area = form2.screen()->availableGeometry();
        form2.move(area.bottomRight() - form2.frameGeometry().bottomRight() + form2.pos());
        QApplication::setFont(QFont("DejaVu Sans", 16));
        QTRY_VERIFY(form2.width() > sizes[4].width() && area.contains(form2.frameGeometry()));
        QDialog dialog; // a column drawn narrower than its header needs: the window grows until it shows it whole
        auto* list = (new TwipsLayout(&dialog, {1500, 900}))->Place(new QTreeWidget(&dialog), "List", 0, 0, 1500, 900);
        list->setHeaderLabels({"A header longer than its column"}),
            TwipsLayout::of(&dialog)->setColumnWidths(list, {300});
        ShowOn(&dialog, form2.screen());
        QVERIFY(list->columnWidth(0) >= list->header()->sectionSizeHint(0));
        const auto tall = MessageBox::make(&form2, QString("word ").repeated(3000), "Dahdit", 16);
        tall->show(); // too tall for its box: the text takes the screen's width, and the box all of it
        QCOMPARE(std::tuple(tall->x(), tall->frameGeometry().width()), std::tuple(area.left(), area.width()));
        // Fitted again when its screen changes, or the one it moved to: a text given meanwhile, too long for it, fits.
        if (screen.startsWith("1366"))
            ShowOn(&form2, Screen("1024x768")), QCoreApplication::sendPostedEvents();
        const int height = form2.height();
        child<QLabel>(form2, "Label3")->setText(QString("word ").repeated(80)),
            emit form2.screen()->availableGeometryChanged(form2.screen()->availableGeometry());
        QTRY_VERIFY(form2.height() > height);
    }
}

void TestAccessibility::namesControlsAndTellsSliderTimes() {
    ProgramFolder folder(true);
    Form1 form1;
    QSlider *slider1 = child<QSlider>(form1, "Slider1"), *slider2 = child<QSlider>(form1, "Slider2");
    auto reads = [](QSlider* slider) { // the name, the time a reader finds, its range and step, the position taken
        const QAccessibleValueInterface* t = QAccessible::queryAccessibleInterface(slider)->valueInterface();
        return QString::asprintf("%s: %d of %d-%d by %d (%d)", qPrintable(Accessible(slider)),
                                 t->currentValue().toInt(), t->minimumValue().toInt(), t->maximumValue().toInt(),
                                 t->minimumStepSize().toInt(), slider->value());
    };
    QCOMPARE(reads(slider1) + ", " + reads(slider2),
             u"Delay time: 150 of 25-500 by 25 (6), Space delay time: 250 of 125-600 by 25 (6)"_s);
    // While the thumb is dragged the time follows it, and is told, before the new position is taken.
    heard.clear(), slider1->setSliderDown(true), slider1->setSliderPosition(12);
    QCOMPARE((heard << reads(slider1)).join(", "), "Delay time: 300 milliseconds, Delay time: 300 of 25-500 by 25 (6)");
    // The reader sets a time; the slider takes the nearest position, as if moved by hand.
    QAccessible::queryAccessibleInterface(slider2)->valueInterface()->setCurrentValue(590);
    QCOMPARE(reads(slider2), u"Space delay time: 600 of 125-600 by 25 (20)"_s);
    QCOMPARE(Accessible(child<QLabel>(form1, "Panel3")), u"Space delay time: 600 ms"_s);
    QFont pixels; // a desktop font given in pixels: the key's caption is still half as large again
    pixels.setPixelSize(14), QApplication::setFont(pixels);
    QCOMPARE(child(Form1(), "MK")->font().pixelSize(), 21);
}

// What is drawn, in a light and a dark palette and in one whose placeholder text can hardly be read: the editor's
// warning reads at 4.5:1, as asked of text, yet quieter than the text beside it; the sliders' ticks stand out at 3:1,
// as asked of a control's parts, one at each of the 20 positions.
void TestAccessibility::warningAndTicksReadInLightAndDark() {
    ProgramFolder folder(true);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette faint = fusion->standardPalette();
    faint.setColor(QPalette::PlaceholderText, QColor(0xe0, 0xe0, 0xe0));
    QStringList unread;
    for (const QPalette& palette : {fusion->standardPalette(), QPalette(QColor(0x35, 0x35, 0x35)), faint}) {
        QApplication::setPalette(palette);
        Form4 form;
        QWidget* ok = child(form, "Command1");
        const QImage warning = child(form, "Label6")->grab().toImage(), text = child(form, "Label1")->grab().toImage(),
                     button = ok->grab().toImage(); // its caption drawn by the style
        const double quiet = Strongest(warning, warning.pixelColor(0, 0)),
                     plain = Strongest(text, text.pixelColor(0, 0));
        form.show(), QApplication::setActiveWindow(&form), ok->setFocus(); // tabbed to: ringed in the highlight colour
        QStyleOptionButton ring;
        ring.initFrom(ok), form.setAttribute(Qt::WA_KeyboardFocusChange); // as the Tab key sets it
        const QPoint corner = ok->style()->subElementRect(QStyle::SE_PushButtonFocusRect, &ring, ok).topLeft();
        if (quiet < 4.5 || quiet >= plain || Strongest(button, button.pixelColor(0, 0)) < 4.5 ||
            ok->grab().toImage().pixelColor(corner) != ok->palette().color(QPalette::Highlight))
            unread << QStringLiteral("the warning at %1:1 beside text at %2:1, or a button").arg(quiet).arg(plain);
        Form1 main;
        const QImage slider = child(main, "Slider1")->grab().toImage();
        int ticks = 0; // along its bottom edge: the runs of columns drawn at 3:1 or more
        for (int x = 0, drawn = 0; x < slider.width(); ++x) {
            const bool seen = Strongest(slider.copy(x, slider.height() - 5, 1, 5), slider.pixelColor(0, 0)) >= 3;
            ticks += seen && !drawn;
            drawn = seen;
        }
        const double handle =
            Strongest(slider.copy(0, 0, slider.width(), slider.height() - 5), slider.pixelColor(0, 0));
        if (ticks != 20 || handle < 3) // and above them, its handle
            unread << QStringLiteral("%1 ticks at 3:1, the handle at %2:1").arg(ticks).arg(handle);
    }
    QCOMPARE(unread, QStringList());
    // The icon at each size docks ask for: drawn for that size (its own picture where there is one), its middle opaque.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage icon = ProgramIcon().pixmap(QSize(size, size), 1.0).toImage(),
                     drawn = QImage(QStringLiteral(":/icons/dahdit-%1.png").arg(size)).convertToFormat(icon.format());
        QCOMPARE(std::tuple(drawn.isNull() || drawn == icon, ProgramIcon().availableSizes().count(QSize(size, size)),
                            icon.pixelColor(size / 2, size / 2).alpha()),
                 std::tuple(true, 1, 255));
    }
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
