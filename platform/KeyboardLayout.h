#pragma once
// The keyboard layout of the input: read it and activate one, as
// GetKeyboardLayout / ActivateKeyboardLayout do. A layout is an opaque number.
#include <cstdint>

namespace platform {

using KeyboardLayoutId = uintptr_t;

class KeyboardLayouts {
public:
    virtual ~KeyboardLayouts() = default;
    virtual KeyboardLayoutId current() const = 0;
    virtual void activate(KeyboardLayoutId layout) = 0;
};

/// The layouts now in force: by default one that remembers the last activated
/// layout and starts at the user locale's (0x04090409 for en_US). Tests and a
/// display-aware implementation install their own.
KeyboardLayouts& keyboardLayouts();
/// Installs `k` (not owned); nullptr restores the default.
void setKeyboardLayouts(KeyboardLayouts* k);

} // namespace platform
