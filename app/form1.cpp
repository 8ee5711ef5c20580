#include "form1.h"

#include "appearance.h"
#include "codetablestore.h"
#include "decoder.h"
#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "layout.h"
#include "messagebox.h"
#include "module1.h"
#include "readme.h"
#include "sidetone.h"
#include "storewords.h"
#include "textbox.h"
#include "timing.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <cstdlib>
#include <utility>

namespace {

// Shows a window's single instance, creating it on first use.
template <typename Window, typename Make> void ShowSingle(QPointer<Window>& window, Make make) {
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
}

const QString kReady = QStringLiteral("Ready");
const QString kDelayHint = QStringLiteral("Drag to change delay time");
const QString kSpaceDelayHint = QStringLiteral("Drag to change space delay time");

// A screen reader reads a slider's value. For the two timing sliders that is the time they set,
// in milliseconds, not the position, and it follows the thumb while it is dragged, before the new
// position is taken.
class TimeSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    TimeSliderAccessible(QSlider* slider, int (*time)(int))
        : QAccessibleWidget(slider, QAccessible::Slider), m_slider(slider), m_time(time) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text text) const override {
        if (text == QAccessible::Value)
            return QStringLiteral("%1 milliseconds").arg(m_time(m_slider->sliderPosition()));
        return QAccessibleWidget::text(text);
    }
    QVariant currentValue() const override { return m_time(m_slider->sliderPosition()); }
    QVariant minimumValue() const override { return m_time(m_slider->minimum()); }
    QVariant maximumValue() const override { return m_time(m_slider->maximum()); }
    QVariant minimumStepSize() const override { return m_time(2) - m_time(1); }
    // A time asked for by the reader takes the position whose time is nearest.
    void setCurrentValue(const QVariant& value) override {
        const int wanted = value.toInt();
        int best = m_slider->minimum();
        for (int position = best; position <= m_slider->maximum(); ++position) {
            if (std::abs(m_time(position) - wanted) < std::abs(m_time(best) - wanted))
                best = position;
        }
        m_slider->setValue(best);
    }

private:
    QSlider* m_slider;
    int (*m_time)(int);
};

QAccessibleInterface* TimeSliderFactory(const QString&, QObject* object) {
    auto* slider = qobject_cast<QSlider*>(object);
    if (!slider || !qobject_cast<Form1*>(slider->window()))
        return nullptr;
    if (slider->objectName() == QLatin1String("Slider1"))
        return new TimeSliderAccessible(slider, Timing::DelayTime);
    if (slider->objectName() == QLatin1String("Slider2"))
        return new TimeSliderAccessible(slider, Timing::SpaceDelayTime);
    return nullptr;
}

// The status panels for a screen reader: what each shows, then what it shows now without the
// visible abbreviation ("Delay time: 150 ms" for "DT: 150 ms").
struct PanelSpeech {
    const char* what;
    const char* shownPrefix;
};
constexpr PanelSpeech kPanelSpeech[] = {
    {"Status", ""}, {"Delay time", "DT: "}, {"Space delay time", "SDT: "}, {"Errors", "Errors: "}, {"Code table", ""}};

// What a timing slider's panel shows for the time it sets: "DT: 150 ms".
QString DelayText(int panel, int milliseconds) {
    return QLatin1String(kPanelSpeech[panel - 1].shownPrefix) + QStringLiteral("%1 ms").arg(milliseconds);
}

int ButtonCode(Qt::MouseButton button) {
    return button == Qt::LeftButton ? 1 : button == Qt::RightButton ? 2 : button == Qt::MiddleButton ? 4 : 0;
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent), m_store(std::make_unique<CodeTableStore>()) {
    [[maybe_unused]] static const bool factoryInstalled = (QAccessible::installFactory(TimeSliderFactory), true);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Dahdit"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    buildMenus();
    Form_Load();
}

Form1::~Form1() {
    Form_Unload();
}

void Form1::buildControls() {
    // The client area below the menu bar, the status bar along its bottom edge.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client);
    auto* layout = new TwipsLayout(client, QSize(9495, 3375));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);

    Text1 = layout->Place(new QPlainTextEdit(client), "Text1", 120, 120, 4575, 1605);
    auto* Slider1 = layout->Place(new QSlider(Qt::Horizontal, client), "Slider1", 120, 1800, 2175, 555);
    auto* Slider2 = layout->Place(new QSlider(Qt::Horizontal, client), "Slider2", 2400, 1800, 2295, 555);
    MK = layout->Place(new QPushButton(QStringLiteral("Morse"), client), "MK", 120, 2400, 3855, 495);
    BS = layout->Place(new QPushButton(QStringLiteral("<<"), client), "BS", 4080, 2400, 615, 495);
    Text2 = layout->Place(new QPlainTextEdit(client), "Text2", 4800, 120, 4575, 2805);
    // The window has no labels, so a screen reader learns from these what each control is.
    Text1->setAccessibleName(QStringLiteral("Morse buffer"));
    Text1->setAccessibleDescription(QStringLiteral("Dots and dashes as keyed; a space closes each symbol"));
    Text2->setAccessibleName(QStringLiteral("Decoded text"));
    Slider1->setAccessibleName(QStringLiteral("Delay time"));
    Slider2->setAccessibleName(QStringLiteral("Space delay time"));
    Slider1->setAccessibleDescription(QStringLiteral("The shortest press that counts as a dash, in milliseconds"));
    Slider2->setAccessibleDescription(
        QStringLiteral("The pause after a release that closes a symbol, in milliseconds"));
    MK->setAccessibleName(QStringLiteral("Morse key"));
    MK->setAccessibleDescription(
        QStringLiteral("Press with the left mouse button: shorter than the delay time is a dot, longer a dash"));
    BS->setAccessibleName(QStringLiteral("Remove last character"));

    for (QPlainTextEdit* box : {Text1, Text2}) {
        // A paste of megabytes on one line, and the output text it decodes to, must stay usable.
        SetUpLongTextBox(box);
        layout->setFontSize(box, 8.25, false, QFontDatabase::FixedFont);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setUndoRedoEnabled(false);
        // Tab moves on to the next control: a tab character has no place in Morse or in its text,
        // and without this the sliders could not be reached from the keyboard.
        box->setTabChangesFocus(true);
        box->installEventFilter(this);
    }
    for (QPushButton* button : {MK, BS})
        layout->setFontSize(button, 12, true);
    MK->installEventFilter(this);
    BS->setEnabled(false);

    m_delay = {Slider1, Timer1, Timing::DelayTime, 2, kDelayHint, Settings::DelayTime};
    m_spaceDelay = {Slider2, Timer2, Timing::SpaceDelayTime, 3, kSpaceDelayHint, Settings::SpaceDelayTime};
    for (const DelaySlider* slider : {&m_delay, &m_spaceDelay}) {
        QSlider* control = slider->control;
        control->setRange(Timing::FirstPosition, Timing::LastPosition);
        control->setPageStep(1);
        control->setTickPosition(QSlider::TicksBelow);
        control->setTickInterval(1);
        control->setTracking(false); // Change once the position stands, Scroll while dragging
        control->setValue(Timing::StartPosition);
        slider->timer->setInterval(slider->time(Timing::StartPosition));
        UseDahditStyle(control); // ticks that show in a dark palette too
    }

    QStatusBar* StatusBar1 = layout->Place(new QStatusBar(client), "StatusBar1", 0, 3000, 9495, 375);
    StatusBar1->setSizeGripEnabled(false);
    // The panels stand side by side, 6 pixels apart, each with room for the longest text it shows:
    // the hints, the longest times, a four-digit error count and the default table. Panels 2 and 3
    // are filled below, 5 at load.
    const int widths[5] = {4340, 1200, 1200, 1200, 1200};
    const QStringList longest[5] = {{kDelayHint, kSpaceDelayHint},
                                    {DelayText(2, Timing::DelayTime(Timing::LastPosition))},
                                    {DelayText(3, Timing::SpaceDelayTime(Timing::LastPosition))},
                                    {QStringLiteral("Errors: 9999")},
                                    {Settings::TableName.builtIn()}};
    const QString texts[5] = {kReady, QString(), QString(), QStringLiteral("Errors: 0"), QString()};
    for (int i = 0, left = 30; i < 5; left += widths[i++] + 60) {
        const QByteArray name = "Panel" + QByteArray::number(i + 1);
        m_panels[i] = layout->Place(new QLabel(StatusBar1), name.constData(), left, 45, widths[i] - 30, 300);
        setPanel(i + 1, texts[i]);
        layout->alsoShows(m_panels[i], longest[i]);
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
    }
    for (const DelaySlider* slider : {&m_delay, &m_spaceDelay})
        setPanel(slider->panel, DelayText(slider->panel, slider->time(Timing::StartPosition)));

    connect(Text1, &QPlainTextEdit::textChanged, this, &Form1::Text1_Change);
    connect(BS, &QPushButton::clicked, this, &Form1::BS_Click);
    connect(Slider1, &QSlider::sliderMoved, this, &Form1::Slider1_Scroll);
    connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
    connect(Slider2, &QSlider::sliderMoved, this, &Form1::Slider2_Scroll);
    connect(Slider2, &QSlider::valueChanged, this, &Form1::Slider2_Change);
    connect(Slider1, &QSlider::sliderReleased, this, [this] { endDrag(m_delay); });
    connect(Slider2, &QSlider::sliderReleased, this, [this] { endDrag(m_spaceDelay); });

    SetTabOrder({Text1, Slider1, Slider2, MK, BS, Text2});
    Text1->setFocus();
}

void Form1::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                       void (Form1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    Save = item(file, "Save", QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &Form1::Save_Click);
    item(file, "Exit", QStringLiteral("Exit"), QKeySequence(), &Form1::Exit_Click);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("Edit"));
    item(edit, "Copy", QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &Form1::Copy_Click);
    item(edit, "CopyOutput", QStringLiteral("Copy Output"), QKeySequence(), &Form1::CopyOutput_Click);
    item(edit, "Paste", QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), &Form1::Paste_Click);
    item(edit, "Clear", QStringLiteral("Clear"), QKeySequence(Qt::Key_Delete), &Form1::Clear_Click);
    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools"));
    item(tools, "DBEditor", QStringLiteral("DB Editor"), QKeySequence(Qt::CTRL | Qt::Key_D), &Form1::DBEditor_Click);
    item(tools, "Language", QStringLiteral("Language"), QKeySequence(Qt::CTRL | Qt::Key_L), &Form1::Language_Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    item(help, "DahditReadme", QStringLiteral("Dahdit Readme"), QKeySequence(), &Form1::DahditReadme_Click);
    item(help, "About", QStringLiteral("About..."), QKeySequence(), &Form1::About_Click);
    Save->setEnabled(false);
    // The captions carry no mnemonics. Alt pressed and released alone highlights the menu bar
    // and the arrow keys walk it; F10 opens the first menu, as on Linux desktops.
    UseDahditStyle(menuBar());
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this, file] { menuBar()->setActiveAction(file->menuAction()); });
}

// ---- start-up and shutdown -------------------------------------------------------------------

void Form1::Form_Load() {
    StoreError error;
    m_database = ChooseDatabase();
    m_database.useCopy(DatabaseChoice::Refresh::IfUnchanged);
    // Each told once, as the window stands; keying fills the buffer meanwhile.
    if (!m_store->open(m_database.path, &error, m_database.readOnly)) {
        const QString advice = error.kind == StoreError::Kind::Locked
                                   ? QStringLiteral("Dahdit opens the file again at the next decode.")
                                   : QStringLiteral("Decoding is unavailable. To use another database, choose "
                                                    "Tools, Language, then restart Dahdit.");
        tellOnce(StoreMessage(error), QStringLiteral("\n\n") + advice);
    }
    for (const DelaySlider* slider : {&m_delay, &m_spaceDelay})
        slider->control->setValue(Settings::Read(slider->key));
    setPanel(5, m_database.table);
    Timer2->start();
    m_sidetone = std::make_unique<Sidetone>(
        SidetoneSettings{Settings::Read(Settings::Sidetone) != 0, Settings::Read(Settings::SidetoneHz)});
    QString file, cause;
    if (!Module1::SettingsCanBeKept(&file, &cause))
        tellLater(SettingsNotKept(file, cause), MessageBox::Warning);
    else if (Module1::TakeSettingsKeptElsewhereNote())
        tellLater(SettingsKeptElsewhere(), MessageBox::Information);
}

// Run at the close and again by the destructor, which then finds nothing left to do.
void Form1::Form_Unload() {
    Timer1->stop();
    Timer2->stop();
    // Every other window is deleted with the main window, without a close event of its own; the
    // editor's destructor runs its unload, and each store is closed by its owner's destructor.
    for (QWidget* window : std::initializer_list<QWidget*>{m_form2, m_form3, m_form4, m_form5})
        delete window;
    QCoreApplication::quit();
}

void Form1::closeEvent(QCloseEvent*) {
    Form_Unload(); // a close event comes accepted
}

void Form1::Exit_Click() {
    close();
}

// ---- key timing ------------------------------------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MK) {
        // A quick second press comes as a double click: it is a press like any other.
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
            type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<const QMouseEvent*>(event);
            if (type == QEvent::MouseButtonRelease)
                MK_MouseUp(ButtonCode(mouse->button()), mouse->timestamp());
            else
                MK_MouseDown(ButtonCode(mouse->button()), mouse->timestamp());
        }
        return false; // the button still shows itself pressed and released
    }
    if (watched == Text1 || watched == Text2) {
        if (event->type() == QEvent::ShortcutOverride) {
            // The menus' shortcuts win over the text boxes' own Del, Ctrl+C and Ctrl+V.
            auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
            for (const QAction* action : menuBar()->findChildren<QAction*>()) {
                if (action->shortcut() == pressed) {
                    event->ignore();
                    return true;
                }
            }
        } else if (event->type() == QEvent::KeyPress && watched == Text1) {
            Text1_KeyDown();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::event(QEvent* event) {
    // A box that opens while the key is held takes the mouse, and the key's release with it: the
    // press is given up without a mark, and the tone stops.
    if (event->type() == QEvent::WindowBlocked && KeyIsDown)
        endPress();
    return QMainWindow::event(event);
}

void Form1::MK_MouseDown(int button, quint64 stamp) {
    if (button != 1 || KeyIsDown)
        return;
    m_sidetone->keyDown();
    catchUpSpaceTimer(stamp);
    LongPress = false;
    KeyIsDown = true;
    m_pressStamp = stamp;
    Timer1->start();
    Timer2->stop();
}

// The space timer runs on the event loop, which a long decode or repaint can hold up. The event
// times tell what really happened between the last release and this press: a pause of the
// space delay time closed the symbol even if the tick has not run yet, and a shorter pause did
// not, even if a late tick already appended the space.
void Form1::catchUpSpaceTimer(quint64 pressStamp) {
    if (pressStamp == 0 || m_releaseStamp == 0 || pressStamp < m_releaseStamp)
        return;
    const quint64 pause = pressStamp - m_releaseStamp;
    if (pause >= quint64(Timer2->interval())) {
        if (Timer2->isActive() && m_spaceTickRevision == 0)
            Timer2_Timer();
    } else if (m_spaceTickRevision == m_bufferRevision) {
        if (TextEnd(Text1, 1) == QLatin1String(" "))
            ReplaceEnd(Text1, 1, QString());
    }
}

// The key goes up: the tone stops, and the pause begins. True when a press was held.
bool Form1::endPress() {
    m_sidetone->keyUp();
    Timer1->stop();
    Timer2->start();
    return std::exchange(KeyIsDown, false);
}

void Form1::MK_MouseUp(int button, quint64 stamp) {
    if (button != 1)
        return;
    const bool endsPress = endPress();
    // The event times decide dot or dash exactly, also when Timer1 ticked late or early
    // relative to the events.
    if (endsPress && stamp != 0 && m_pressStamp != 0 && stamp >= m_pressStamp)
        LongPress = stamp - m_pressStamp >= quint64(Timer1->interval());
    m_releaseStamp = stamp;
    m_spaceTickRevision = 0;
    ReplaceEnd(Text1, 0, LongPress ? QStringLiteral("-") : QStringLiteral("."));
}

void Form1::Timer1_Timer() {
    LongPress = true;
}

// The timer ticks all session long, so a tick looks at the buffer's last character only: it costs
// the same whatever the buffer holds.
void Form1::Timer2_Timer() {
    const QString last = TextEnd(Text1, 1);
    if (last.isEmpty() || last == QLatin1String(" "))
        return;
    ReplaceEnd(Text1, 0, QStringLiteral(" "));
    m_spaceTickRevision = m_bufferRevision;
}

void Form1::BS_Click() {
    // The last character as the reader sees it lies within the buffer's end: a character with
    // its marks and modifiers is far shorter than this.
    const QString end = TextEnd(Text1, 1024);
    if (!end.isEmpty())
        ReplaceEnd(Text1, end.size() - WithoutLastCharacter(end).size(), QString());
    Timer2->stop();
}

void Form1::Clear_Click() {
    ReplaceText(Text1, QString());
}

void Form1::Text1_KeyDown() {
    Timer2->stop();
}

// ---- decoding --------------------------------------------------------------------------------

void Form1::Text1_Change() {
    ++m_bufferRevision;
    DecodeInput();
}

void Form1::DecodeInput() {
    // Until the user's own copy of the database could be made, the window reads the one that came
    // with Dahdit. Once the editor (or another Dahdit) has made it, the window reads the copy, so
    // that it decodes with the changes made there.
    if (m_database.followCopy())
        m_store->open(m_database.path); // a failure is told by the decode
    const QString buffer = BoxText(Text1);
    DecodeResult result;
    StoreError error;
    const bool decoded = DecodeBuffer(buffer, *m_store, m_database.table, &result, &error);
    ReplaceText(Text2, result.output);
    setPanel(4, QStringLiteral("Errors: %1").arg(result.errors));
    if (!decoded) {
        const QString cause = StoreMessage(error);
        setPanel(1, QStringLiteral("Cannot decode: ") + cause);
        m_panels[0]->setToolTip(cause);
        m_panel1ShowsFailure = true;
        tellOnce(cause, QStringLiteral("\n\nDecoding is unavailable until this is put right."));
    } else if (m_panel1ShowsFailure) {
        setPanel(1, kReady);
        m_panels[0]->setToolTip(QString());
        m_panel1ShowsFailure = false;
    }
    if (!result.notice.isEmpty())
        tellOnce(result.notice);
    Save->setEnabled(!result.output.isEmpty());
    BS->setEnabled(!buffer.isEmpty());
}

void Form1::tellOnce(const QString& cause, const QString& more) {
    if (m_toldCauses.contains(cause))
        return;
    m_toldCauses.insert(cause);
    tellLater(cause + more, MessageBox::Warning);
}

// A box is shown once the handler that found what it tells has run to its end: shown within it, the
// box would take the mouse from a key held down, and a handler run while it waits would be undone.
void Form1::tellLater(const QString& text, int style) {
    QTimer::singleShot(0, this, [this, text, style] { MessageBox::show(this, text, QStringLiteral("Dahdit"), style); });
}

void Form1::setPanel(int panel, const QString& text) {
    if (panel == 1)
        m_dragHintOf = nullptr;
    QLabel* label = m_panels[panel - 1];
    label->setText(text);
    const PanelSpeech& speech = kPanelSpeech[panel - 1];
    const QString prefix = QLatin1String(speech.shownPrefix);
    label->setAccessibleName(QLatin1String(speech.what) + QStringLiteral(": ") +
                             (text.startsWith(prefix) ? text.mid(prefix.size()) : text));
}

// ---- timing controls -------------------------------------------------------------------------

void Form1::Slider1_Scroll() {
    scrollDelay(m_delay);
}

void Form1::Slider1_Change() {
    changeDelay(m_delay);
}

void Form1::Slider2_Scroll() {
    scrollDelay(m_spaceDelay);
}

void Form1::Slider2_Change() {
    changeDelay(m_spaceDelay);
}

// While the thumb is dragged the panel shows the delay it would set; the timer keeps the old one.
void Form1::scrollDelay(const DelaySlider& slider) {
    setPanel(1, slider.dragHint);
    m_dragHintOf = &slider;
    setPanel(slider.panel, DelayText(slider.panel, slider.time(slider.control->sliderPosition())));
    // The slider's value stays meanwhile, so Qt would tell a screen reader nothing.
    QAccessibleValueChangeEvent dragged(slider.control, slider.time(slider.control->sliderPosition()));
    QAccessible::updateAccessibility(&dragged);
}

void Form1::changeDelay(const DelaySlider& slider) {
    const int position = slider.control->value();
    slider.timer->setInterval(slider.time(position));
    setPanel(slider.panel, DelayText(slider.panel, slider.time(position)));
    setPanel(1, kReady);
    m_panels[0]->setToolTip(QString());
    m_panel1ShowsFailure = false;
    // A position the settings hold already, as at start-up, is not written again: from a
    // read-only portable folder's settings.ini that would start the user's own file with it.
    const QString value = QString::number(position);
    if (Module1::ReadSetting(Settings::Section, slider.key.name) == value)
        return;
    // The position holds for this session all the same. Told once, in the status bar: keying
    // goes on undisturbed, and the file stays as it was.
    QString cause;
    if (!Module1::WriteSetting(Settings::Section, slider.key.name, value, &cause) && !m_toldSlidersUnkept) {
        m_toldSlidersUnkept = true;
        const QString note = SlidersNotKept(cause);
        setPanel(1, note);
        m_panels[0]->setToolTip(note);
    }
}

// The thumb is let go before the new position is taken. A drag that ends where it began takes
// nothing and raises no Change, so the hint is put away here; a decode failure shown meanwhile
// stays.
void Form1::endDrag(const DelaySlider& slider) {
    if (slider.control->sliderPosition() == slider.control->value() && m_dragHintOf == &slider)
        setPanel(1, kReady);
}

// ---- menu commands ---------------------------------------------------------------------------

// The text replaces whatever the clipboard held, in every format.
void Form1::Copy_Click() {
    QGuiApplication::clipboard()->setText(BoxText(Text1));
}

void Form1::CopyOutput_Click() {
    QGuiApplication::clipboard()->setText(BoxText(Text2));
}

void Form1::Paste_Click() {
    // Pasting the text the buffer already holds decodes it again all the same: the table may
    // have changed, or become readable, since the last decode.
    if (!ReplaceText(Text1, QGuiApplication::clipboard()->text()))
        Text1_Change();
}

// Offered once there is text: a disabled menu item triggers nothing, not even by its shortcut.
void Form1::Save_Click() {
    ShowSingle(m_form3,
               [this] { return new Form3([this] { return BoxText(Text1); }, [this] { return BoxText(Text2); }); });
}

void Form1::DBEditor_Click() {
    ShowSingle(m_form4, [] { return new Form4; });
}

void Form1::Language_Click() {
    ShowSingle(m_form5, [] { return new Form5; });
}

void Form1::About_Click() {
    ShowSingle(m_form2, [] { return new Form2; });
}

void Form1::DahditReadme_Click() {
    Readme::open(this);
}
