// VLElement: construction, identity, fields, attributes and actions. The matcher is in
// vl_element_matcher.cpp, the visibility rules in vl_element_rules.cpp.
#include "model/vl_element.h"

#include "model/ax_read.h"
#include "platform/ax_names.h"
#include "platform/platform.h"

namespace velora {

namespace {

constexpr uint64_t kVerdictBit = uint64_t(1) << 32;

constexpr uint64_t packVerdict(int32_t level, bool result) {
    return uint64_t(uint32_t(level)) | (result ? kVerdictBit : 0);
}

} // namespace

VLElement::VLElement(const AXElement& element)
    : element_(element), verdict_(packVerdict(kNotFiltered, false)) {}

// --- construction

VLElementRef VLElement::systemWideElement() {
    return std::make_shared<VLElement>(accessibility().createSystemWide());
}

VLElementRef VLElement::elementWithElementRef(const AXElement& element) {
    return std::make_shared<VLElement>(element);
}

VLElementRef VLElement::elementOfFocusedWindow() {
    AXElement systemWide = accessibility().createSystemWide();
    auto application = axread::element(systemWide, ax::FocusedApplication);
    if (!application) return nullptr;
    auto window = axread::element(*application, ax::FocusedWindow);
    if (!window) return nullptr;
    return elementWithElementRef(*window);
}

std::optional<Rect> VLElement::focusedWindowFrame() {
    VLElementRef window = elementOfFocusedWindow();
    if (!window) return std::nullopt;
    auto position = axread::value<Point>(window->element_, ax::Position);
    auto size = axread::value<Size>(window->element_, ax::SizeAttr);
    if (!position || !size) return std::nullopt;
    return Rect{position->x, position->y, size->width, size->height};
}

std::vector<VLElementRef> VLElement::elementsForElementRef(const AXElement& application) {
    std::vector<VLElementRef> records;
    auto windows = axread::elements(application, ax::Windows);
    if (!windows) return records;
    records.reserve(windows->size());
    for (const AXElement& window : *windows)
        if (!window.isNull()) records.push_back(elementWithElementRef(window));
    return records;
}

// --- identity

bool VLElement::isEqualTo(const VLElement& other) const {
    return !element_.isNull() && !other.element_.isNull() && element_ == other.element_;
}

// --- fields

int32_t VLElement::alreadyFiltered() const {
    return int32_t(uint32_t(verdict_.load(std::memory_order_acquire)));
}

bool VLElement::filterResult() const {
    return verdict_.load(std::memory_order_acquire) & kVerdictBit;
}

void VLElement::storeVerdict(int32_t level, bool result) {
    verdict_.store(packVerdict(level, result), std::memory_order_release);
}

// --- attributes

VLElement::TitleRead VLElement::readTitle() const {
    AXError error = AXError::Success;
    if (auto title = axread::string(element_, ax::Title, &error)) return {std::move(title), false};
    pid_t owner = pid();
    if (error == AXError::CannotComplete && owner > 0 &&
        workspace().runningApplicationWithProcessIdentifier(owner))
        return {std::string(kNotResponding), true};
    return {};
}

std::optional<std::string> VLElement::getTitle() const {
    return readTitle().title;
}

QUrl VLElement::documentURL() const {
    auto document = axread::string(element_, ax::Document);
    if (!document || document->empty()) return {};
    QUrl url(QString::fromStdString(*document), QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

bool VLElement::checkIfMinimized() const {
    return axread::boolean(element_, ax::Minimized).value_or(false);
}

bool VLElement::checkIfHidden() const {
    RunningApplicationRef app = runningApplicationForWindow();
    return app && app->isHidden();
}

RunningApplicationRef VLElement::runningApplicationForWindow() const {
    if (RunningApplicationRef app = eApp()) return app;
    pid_t owner = pid();
    return owner > 0 ? workspace().runningApplicationWithProcessIdentifier(owner) : nullptr;
}

RunningApplicationRef VLElement::currentActiveApplication() {
    for (RunningApplicationRef& app : workspace().runningApplications())
        if (app && app->isActive()) return app;
    return nullptr;
}

int32_t VLElement::getSpaceNumber() const {
    return getSpaceNumber(wid());
}

int32_t VLElement::getSpaceNumber(int32_t wid) {
    if (wid <= 0) return 0;
    int32_t space = windowServer().windowSpace(uint32_t(wid));
    return space > 0 ? space : 0;
}

void VLElement::setMessagingTimeout(float seconds) const {
    if (!element_.isNull()) accessibility().setMessagingTimeout(element_, seconds);
}

// --- actions

void VLElement::raise() const {
    AccessibilityPort& ax = accessibility();
    ax.performAction(element_, ax::ActionRaise);
    RunningApplicationRef app = runningApplicationForWindow();
    // Twice: some applications only come forward on the second request.
    for (int round = 0; round < 2; ++round) {
        ax.setAttributeValue(element_, ax::Frontmost, AXValue(true));
        ax.setAttributeValue(element_, ax::Focused, AXValue(true));
        ax.performAction(element_, ax::ActionRaise);
        if (app) app->activateWithOptions(kActivateIgnoringOtherApps);
    }
}

bool VLElement::pressButton(const char* buttonAttribute) const {
    auto button = axread::element(element_, buttonAttribute);
    return button && accessibility().performAction(*button, ax::ActionPress) == AXError::Success;
}

bool VLElement::buttonEnabled(const char* buttonAttribute) const {
    auto button = axread::element(element_, buttonAttribute);
    return button && axread::boolean(*button, ax::Enabled).value_or(false);
}

void VLElement::closeWindow() const {
    pressButton(ax::CloseButton);
}
void VLElement::minimizeWindow() const {
    pressButton(ax::MinimizeButton);
}
bool VLElement::isClosable() const {
    return buttonEnabled(ax::CloseButton);
}
bool VLElement::isMinimizable() const {
    return buttonEnabled(ax::MinimizeButton);
}

ImageRef VLElement::grabWindow(std::optional<Size> box) const {
    int32_t number = wid();
    if (number <= 0) return nullptr;
    Rect bounds;
    if (!windowServer().windowBounds(uint32_t(number), bounds)) return nullptr;
    if (bounds.width < 5.0 || bounds.height < 5.0) return nullptr;
    Size size{bounds.width, bounds.height};
    if (box) size = fittedSize(size, *box);
    QImage picture = windowServer().captureWindow(uint32_t(number), size);
    if (picture.isNull()) return nullptr;
    return std::make_shared<const Image>(std::move(picture));
}

} // namespace velora
