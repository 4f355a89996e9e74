#include "prefs/shortcut_recorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>

#include "platform/input.h"
#include "platform/virtual_keys.h"

namespace velora {

namespace {

constexpr int kRefusalMilliseconds = 1800;
constexpr int kClearButtonSide = 16;

} // namespace

SRRecorderDelegate::~SRRecorderDelegate() = default;

SRRecorderControl::SRRecorderControl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    refusalTimer_.setSingleShot(true);
    refusalTimer_.setInterval(kRefusalMilliseconds);
    connect(&refusalTimer_, &QTimer::timeout, this, [this] {
        refusal_.clear();
        update();
    });
}

SRRecorderControl::~SRRecorderControl() {
    // Never leave the hot keys stepped aside.
    if (recording_) endRecording();
}

void SRRecorderControl::setAllowsKeyOnly(bool allowsKeyOnly, bool escapeKeysRecord) {
    allowsKeyOnly_ = allowsKeyOnly;
    escapeKeysRecord_ = escapeKeysRecord;
}

void SRRecorderControl::setKeyCombo(KeyComboPair combo) {
    keyCombo_ = combo;
    QString tip = combo.code < 0 ? QStringLiteral("Click to record a shortcut")
                                 : QStringLiteral("Click to record another shortcut; Backspace clears it");
    if (!conflictNote_.isEmpty()) tip = conflictNote_ + QStringLiteral(": Velora cannot use it. ") + tip;
    setToolTip(tip);
    update();
}

void SRRecorderControl::setConflictNote(const QString& note) {
    if (note == conflictNote_) return;
    conflictNote_ = note;
    setKeyCombo(keyCombo_);
}

void SRRecorderControl::startRecording() {
    if (recording_) return;
    recording_ = true;
    heldFlags_ = 0;
    refusal_.clear();
    setFocus(Qt::MouseFocusReason);
    if (canCaptureGlobalHotKeys_ && isVisible()) {
        grabKeyboard();
        grabbing_ = true;
    }
    if (delegate_) delegate_->shortcutIsRecording(true);
    update();
}

void SRRecorderControl::cancelRecording() {
    if (recording_) endRecording();
}

void SRRecorderControl::endRecording() {
    recording_ = false;
    heldFlags_ = 0;
    if (grabbing_) {
        releaseKeyboard();
        grabbing_ = false;
    }
    if (delegate_) delegate_->shortcutIsRecording(false);
    update();
}

QString SRRecorderControl::displayedText() const {
    if (!refusal_.isEmpty()) return refusal_;
    if (recording_) {
        const QString held = modifierNamesForFlags(heldFlags_);
        return held.isEmpty() ? QStringLiteral("Type shortcut") : held + QStringLiteral("…");
    }
    const QString name = displayNameForCombination(keyCombo_.flags, keyCombo_.code);
    return name.isEmpty() ? QStringLiteral("Click to record") : name;
}

bool SRRecorderControl::event(QEvent* e) {
    if (recording_) {
        switch (e->type()) {
        case QEvent::ShortcutOverride:
            // Every key is ours while recording: no shortcut of the window fires.
            e->accept();
            return true;
        case QEvent::KeyPress:
            // Before QWidget's handling, which would move the focus on Tab.
            keyPressEvent(static_cast<QKeyEvent*>(e));
            return true;
        default:
            break;
        }
    }
    return QWidget::event(e);
}

void SRRecorderControl::keyPressEvent(QKeyEvent* e) {
    if (!recording_) {
        if (e->modifiers() == Qt::NoModifier && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return)) {
            startRecording();
            e->accept();
            return;
        }
        if (e->modifiers() == Qt::NoModifier &&
            (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) && keyCombo_.code >= 0) {
            accept(KeyComboPair{});
            e->accept();
            return;
        }
        QWidget::keyPressEvent(e);
        return;
    }
    e->accept();
    recordKey(e);
}

void SRRecorderControl::keyReleaseEvent(QKeyEvent* e) {
    if (!recording_) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    heldFlags_ = eventFlagsForKeyEvent(*e) & kEventFlagsTrackedMask;
    update();
    e->accept();
}

void SRRecorderControl::recordKey(QKeyEvent* e) {
    heldFlags_ = eventFlagsForKeyEvent(*e) & kEventFlagsTrackedMask;
    if (e->isAutoRepeat() || isModifierKey(e->key())) {
        update();
        return;
    }
    const uint64_t flags = heldFlags_;
    const int64_t code = virtualKeyForKeyEvent(*e);
    if (flags == 0 && !escapeKeysRecord_) {
        if (code == vk::Escape) {
            endRecording();
            return;
        }
        if (code == vk::Delete || code == vk::ForwardDelete) {
            endRecording();
            accept(KeyComboPair{});
            return;
        }
    }
    if (code < 0) {
        refuse(QStringLiteral("That key cannot be used"));
        return;
    }
    if (flags == 0 && !allowsKeyOnly_) {
        refuse(QStringLiteral("Hold Super, Alt, Ctrl or Shift"));
        return;
    }
    QString reason;
    if (delegate_ && delegate_->shortcutRecorderIsKeyCodeAndFlagsTaken(this, code, flags, &reason)) {
        refuse(reason.isEmpty() ? QStringLiteral("Already used by another shortcut") : reason);
        return;
    }
    endRecording();
    accept(KeyComboPair{flags, code});
}

void SRRecorderControl::accept(KeyComboPair combo) {
    setKeyCombo(combo);
    if (delegate_) delegate_->shortcutRecorderKeyComboDidChange(this, combo);
}

void SRRecorderControl::refuse(const QString& message) {
    refusal_ = message;
    refusalTimer_.start();
    QApplication::beep();
    update();
}

void SRRecorderControl::focusOutEvent(QFocusEvent* e) {
    // Taking the keyboard may make the window look inactive to Qt; any other loss of focus
    // ends the recording.
    if (recording_ && !(grabbing_ && e->reason() == Qt::ActiveWindowFocusReason)) endRecording();
    QWidget::focusOutEvent(e);
}

void SRRecorderControl::hideEvent(QHideEvent* e) {
    cancelRecording();
    QWidget::hideEvent(e);
}

bool SRRecorderControl::showsClearButton() const {
    return !recording_ && keyCombo_.code >= 0 && isEnabled();
}

QRect SRRecorderControl::clearButtonRect() const {
    const int side = kClearButtonSide;
    return QRect(width() - side - 6, (height() - side) / 2, side, side);
}

void SRRecorderControl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    if (showsClearButton() && clearButtonRect().contains(e->position().toPoint())) {
        accept(KeyComboPair{});
    } else if (recording_) {
        cancelRecording();
    } else {
        startRecording();
    }
    e->accept();
}

QSize SRRecorderControl::sizeHint() const {
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(QStringLiteral("Super+Ctrl+Alt+Shift+W")) + 2 * kClearButtonSide + 8,
                 fm.height() + 12);
}

QSize SRRecorderControl::minimumSizeHint() const {
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(QStringLiteral("Type shortcut")) + 2 * kClearButtonSide,
                 fm.height() + 12);
}

void SRRecorderControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = frame.height() / 2;

    QColor fill = pal.color(QPalette::Base);
    QColor border = pal.color(QPalette::Mid);
    if (recording_) {
        fill = pal.color(QPalette::Highlight).lighter(190);
        border = pal.color(QPalette::Highlight);
    } else if (hasFocus()) {
        border = pal.color(QPalette::Highlight);
    }
    if (!conflictNote_.isEmpty() && !recording_) border = QColor(200, 120, 0);
    if (!refusal_.isEmpty()) border = QColor(200, 60, 50);
    p.setPen(QPen(border, recording_ || hasFocus() ? 2 : 1));
    p.setBrush(fill);
    p.drawRoundedRect(frame, radius, radius);

    QColor text = pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    if (!refusal_.isEmpty())
        text = QColor(180, 40, 30);
    else if (recording_ || keyCombo_.code < 0)
        text = pal.color(QPalette::PlaceholderText);
    QRect textRect = rect().adjusted(kClearButtonSide + 6, 0, -(kClearButtonSide + 6), 0);
    p.setPen(text);
    p.drawText(textRect, Qt::AlignCenter,
               fontMetrics().elidedText(displayedText(), Qt::ElideRight, textRect.width()));

    if (showsClearButton()) {
        const QRectF button = clearButtonRect();
        p.setPen(Qt::NoPen);
        p.setBrush(pal.color(QPalette::Mid));
        p.drawEllipse(button);
        p.setPen(QPen(pal.color(QPalette::Base), 1.6, Qt::SolidLine, Qt::RoundCap));
        const QRectF cross = button.adjusted(5, 5, -5, -5);
        p.drawLine(cross.topLeft(), cross.bottomRight());
        p.drawLine(cross.topRight(), cross.bottomLeft());
    }
}

} // namespace velora
