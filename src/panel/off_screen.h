#pragma once
// Hiding a panel window and knowing it is gone: the window server confirms that the window
// is off the screen before the caller goes on, so that what the unmap causes (a manager
// whose focus follows the mouse focuses the window now under the pointer) happens before an
// activation sent afterwards, which then wins.

class QWidget;

namespace velora {

// Hides the top-level widget and waits (at most a quarter of a second) until the window
// server has taken its window off the screen. What the window manager reports active
// meanwhile, and until the next activation request, is not taken for the user's choice.
void hideAndConfirm(QWidget& window);

} // namespace velora
