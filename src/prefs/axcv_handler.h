#pragma once
// A text field that performs the editing key equivalents itself: Ctrl+X cut, Ctrl+C copy,
// Ctrl+V paste, Ctrl+A select all, Ctrl+Z undo — with Ctrl alone (Caps Lock off). The action
// goes to the widget that has the focus in the field's window (normally the field), so it
// works whatever the window's menus and shortcuts are. Other keys, Ctrl+Shift+Z included, are
// the line edit's own.

#include <QLineEdit>

class QKeyEvent;

namespace velora {

class AXCVHandler : public QLineEdit {
    Q_OBJECT

  public:
    explicit AXCVHandler(QWidget* parent = nullptr);

    // True when the event was one of the five and the action was carried out.
    bool performKeyEquivalent(QKeyEvent* event);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace velora
