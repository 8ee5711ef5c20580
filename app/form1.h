#pragma once

// Dahdit's main window and the start of everything.
//
// Form1 owns the on-screen key (MK), the Morse buffer (Text1), the output text (Text2), the two
// timing sliders, the status bar and the menu bar. Presses of the key become marks in Text1
// (MK_MouseDown, MK_MouseUp, Timer1_Timer, Timer2_Timer) by the delays in morse/timing.h, and
// sound the sidetone (sidetone/) while the key is down. Every change of Text1 decodes the whole
// buffer again (Text1_Change, DecodeInput, and DecodeBuffer in morse/decoder.h) against the
// current code table through the window's own CodeTableStore (store/), and writes Text2.
//
// The settings file is read once at start-up (Settings::Read, store/settingskeys.h) for the
// slider positions and the sidetone, and, through DatabaseChoice, for the database and the table,
// whose user's copy the start-up makes or refreshes (useCopy); a slider writes its position back
// each time it changes. The other windows open from the menu, one instance each, modeless and
// without an owner. The code table editor (Form4) has its own CodeTableStore and resolves the
// database and the table each time it opens: on the main window's file, its changes show at the
// next decode, and the main window follows to the user's own copy once the editor has made it,
// where none could be made at start-up. Language Options (Form5) writes the database and the
// table to the settings file: the main window keeps its own until the next start, but an editor
// opened after that works on the new ones. Closing Form1 ends the program with all its windows.

#include "databasechoice.h"
#include "timing.h"

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <memory>

class CodeTableStore;
class Form2;
class Form3;
class Form4;
class Form5;
class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTimer;
class Sidetone;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Mouse buttons carry their platform codes: 1 left, 2 right, 4 middle. stamp is the time
    // the windowing system gave the event, in milliseconds, or 0 when there is none.
    void MK_MouseDown(int button, quint64 stamp = 0);
    void MK_MouseUp(int button, quint64 stamp = 0);
    void Timer1_Timer();
    void Timer2_Timer();
    void BS_Click();
    void Text1_KeyDown();

    void Slider1_Scroll();
    void Slider1_Change();
    void Slider2_Scroll();
    void Slider2_Change();

    void Save_Click();
    void Exit_Click();
    void Copy_Click();
    void CopyOutput_Click();
    void Paste_Click();
    void Clear_Click();
    void DBEditor_Click();
    void Language_Click();
    void DahditReadme_Click();
    void About_Click();

    // Decodes the whole buffer into the output text; public so that benchmarks can time it.
    void DecodeInput();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A timing slider with what it sets: Slider1 the dash's delay on Timer1, Slider2 the space's
    // on Timer2. Both pairs of slider handlers work through it.
    struct DelaySlider {
        QSlider* control = nullptr;
        QTimer* timer = nullptr;
        int (*time)(int position) = nullptr;        // the delay it sets, in milliseconds
        int panel = 0;                              // the status bar panel that shows the delay
        QString dragHint;                           // the first panel's text while the thumb is dragged
        Settings::Number key = Settings::DelayTime; // the setting that keeps the position
    };

    void buildControls();
    void buildMenus();
    void Form_Load();
    void Form_Unload();
    void Text1_Change();
    void setPanel(int panel, const QString& text);
    // Shows cause, and more after it, unless cause was told before.
    void tellOnce(const QString& cause, const QString& more = QString());
    void tellLater(const QString& text, int style);
    bool endPress();
    void catchUpSpaceTimer(quint64 pressStamp);
    void scrollDelay(const DelaySlider& slider);
    void changeDelay(const DelaySlider& slider);
    void endDrag(const DelaySlider& slider);

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QPushButton* BS = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPushButton* MK = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QLabel* m_panels[5] = {};
    DelaySlider m_delay;
    DelaySlider m_spaceDelay;

    QAction* Save = nullptr; // the other menu entries are found by their names

    std::unique_ptr<CodeTableStore> m_store;
    DatabaseChoice m_database;            // the file m_store reads, and the table
    std::unique_ptr<Sidetone> m_sidetone; // the key's tone, on its own audio thread
    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<Form4> m_form4;
    QPointer<Form5> m_form5;

    // Event times of the last accepted press and release, to correct a timer tick that the
    // event loop ran late.
    bool KeyIsDown = false;
    bool LongPress = false;
    quint64 m_pressStamp = 0;
    quint64 m_releaseStamp = 0;
    quint64 m_bufferRevision = 0;    // counts changes of the buffer, from 1 at the first
    quint64 m_spaceTickRevision = 0; // the revision a space tick produced since the last release, or 0

    QSet<QString> m_toldCauses; // decode failures and notices the user has already been told of
    bool m_panel1ShowsFailure = false;
    const DelaySlider* m_dragHintOf = nullptr; // the slider whose hint the first panel shows
    bool m_toldSlidersUnkept = false;
};
