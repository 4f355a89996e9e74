#pragma once
// The view class of the preference panes: Ctrl+W, with no other modifier and Caps Lock off,
// hides the preferences window, as closing a window does elsewhere on the desktop. Any other
// key goes the usual way.

#include <QWidget>

class QKeyEvent;

namespace velora {

class VLPrefView : public QWidget {
    Q_OBJECT

  public:
    explicit VLPrefView(QWidget* parent = nullptr);

    // True when the event was Ctrl+W and the window has been hidden.
    bool performKeyEquivalent(QKeyEvent* event);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace velora
