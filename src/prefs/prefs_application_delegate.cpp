#include "prefs/prefs_application_delegate.h"

namespace velora {

PrefsApplicationDelegate::~PrefsApplicationDelegate() = default;

} // namespace velora
