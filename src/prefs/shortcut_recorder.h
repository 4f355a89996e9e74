#pragma once
// The shortcut recorder: a field that shows a key combination and, once clicked, records the
// next one the user presses.
//
// - Shows combinations with the desktop's names ("Super+Tab", "Alt+Shift+`"); see
//   recorder_keys.h for the position mapping of the modifiers.
// - Click (or Space/Return while focused) starts recording. The next key pressed together with
//   Super, Alt, Ctrl or Shift is the new combination; a bare key only when allowsKeyOnly.
// - While recording, a bare Escape cancels, and a bare Backspace or Delete clears the field to
//   no shortcut (code -1, flags 0; stored as the clear combination) — unless escapeKeysRecord,
//   when those keys are recorded like any other. Leaving the field (focus, hiding) cancels.
// - The small cross at the right clears the field with the mouse.
// - While it records, the delegate hears shortcutIsRecording(true), and false when it stops,
//   so that the hot keys step aside. With canCaptureGlobalHotKeys the field also grabs the
//   keyboard while recording, so that combinations the desktop itself uses reach it.
// - Before it accepts a combination it asks its delegate whether it is taken; a taken one is
//   refused with a brief message in the field (the delegate's reason, such as another program
//   holding it), recording goes on and the previous combination stays; an accepted one is
//   reported with shortcutRecorderKeyComboDidChange.
//
// The pair is (flags, code): event flags (platform/input.h kEventFlag*) of the four modifiers,
// and the virtual key code (-1: none).

#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "prefs/recorder_keys.h"

namespace velora {

struct KeyComboPair {
    uint64_t flags = 0;
    int64_t code = -1;
    friend bool operator==(const KeyComboPair&, const KeyComboPair&) = default;
};

class SRRecorderControl;

class SRRecorderDelegate {
  public:
    virtual ~SRRecorderDelegate();
    // True refuses the combination. A reason, when given, is shown in the field.
    virtual bool shortcutRecorderIsKeyCodeAndFlagsTaken(SRRecorderControl* recorder, int64_t keyCode,
                                                        uint64_t flags, QString* reason) = 0;
    virtual void shortcutRecorderKeyComboDidChange(SRRecorderControl* recorder, KeyComboPair newKeyCombo) = 0;
    // The recorder starts (true) or stops (false) capturing keys.
    virtual void shortcutIsRecording(bool recording) = 0;
};

class SRRecorderControl : public QWidget {
    Q_OBJECT

  public:
    explicit SRRecorderControl(QWidget* parent = nullptr);
    ~SRRecorderControl() override;

    void setDelegate(SRRecorderDelegate* delegate) { delegate_ = delegate; }
    SRRecorderDelegate* delegate() const { return delegate_; }

    void setAllowsKeyOnly(bool allowsKeyOnly, bool escapeKeysRecord);
    bool allowsKeyOnly() const { return allowsKeyOnly_; }
    bool escapeKeysRecord() const { return escapeKeysRecord_; }
    void setCanCaptureGlobalHotKeys(bool can) { canCaptureGlobalHotKeys_ = can; }
    bool canCaptureGlobalHotKeys() const { return canCaptureGlobalHotKeys_; }

    // Shows the combination; tells no one.
    void setKeyCombo(KeyComboPair combo);
    KeyComboPair keyCombo() const { return keyCombo_; }

    static uint64_t carbonToCocoaFlags(int64_t modifiers) { return velora::carbonToCocoaFlags(modifiers); }
    static int64_t cocoaToCarbonFlags(uint64_t flags) { return velora::cocoaToCarbonFlags(flags); }

    bool isRecording() const { return recording_; }
    void startRecording();
    // Stops recording without a change.
    void cancelRecording();

    // What the field shows now: the combination, the recording prompt, or a refusal.
    QString displayedText() const;
    // The refusal message shown right now, or empty.
    QString refusalMessage() const { return refusal_; }
    // Another program holds the shown shortcut: the note says who ("Held by Fluxbox"); the
    // field draws an amber border and shows it as its tool tip. Empty for none.
    void setConflictNote(const QString& note);
    QString conflictNote() const { return conflictNote_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void recordKey(QKeyEvent* event);
    void accept(KeyComboPair combo);
    void refuse(const QString& message);
    void endRecording();
    QRect clearButtonRect() const;
    bool showsClearButton() const;

    SRRecorderDelegate* delegate_ = nullptr;
    KeyComboPair keyCombo_;
    bool allowsKeyOnly_ = false;
    bool escapeKeysRecord_ = false;
    bool canCaptureGlobalHotKeys_ = false;
    bool recording_ = false;
    bool grabbing_ = false;
    uint64_t heldFlags_ = 0;
    QString refusal_;
    QString conflictNote_;
    QTimer refusalTimer_;
};

} // namespace velora
