// The default layouts remember the last activated one. Before any activation
// the current layout is that of the user's locale, in the form the window
// system numbers layouts: the locale identifier in both halves (0x04040404
// for zh_TW).
#include "platform/KeyboardLayout.h"

#include "platform/Locale.h"

#include <atomic>

namespace platform {
namespace {

class RememberedLayouts : public KeyboardLayouts {
public:
    KeyboardLayoutId current() const override {
        if (KeyboardLayoutId layout = activated_.load())
            return layout;
        KeyboardLayoutId lcid = LocaleIdentifier(UserLocaleName());
        return (lcid << 16) | lcid;
    }
    void activate(KeyboardLayoutId layout) override { activated_.store(layout); }

private:
    std::atomic<KeyboardLayoutId> activated_{0};
};

std::atomic<KeyboardLayouts*> installed{nullptr};

} // namespace

KeyboardLayouts& keyboardLayouts() {
    if (KeyboardLayouts* k = installed.load())
        return *k;
    static RememberedLayouts remembered;
    return remembered;
}

void setKeyboardLayouts(KeyboardLayouts* k) {
    installed.store(k);
}

} // namespace platform
