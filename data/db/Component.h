#pragma once
// A named object that can belong to an owner and be found among the owner's
// components, in the order they joined. The owner list is how the window walks
// its connections, datasets and commands (telling them apart with dynamic_cast)
// and how a connection finds the helpers that hang on it.
//
// Joining an owner does not hand over the object: whoever created it keeps it,
// unless it was given with Own(), in which case the owner frees it. Either side
// may go first; the survivor forgets the other.
#include "platform/Strings.h"

#include <memory>
#include <vector>

namespace db {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    /// The component's name, used as the prefix of its error messages.
    const platform::AnsiString& Name() const { return FName; }
    void SetName(const platform::AnsiString& name) { FName = name; }

    TComponent* Owner() const { return FOwner; }
    /// The components that joined this one, in joining order.
    const std::vector<TComponent*>& Components() const { return FComponents; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }

    /// Makes this component the owner of `child` and frees it with itself; returns it.
    template <class T> T* Own(std::unique_ptr<T> child) {
        T* raw = child.get();
        adopt(std::unique_ptr<TComponent>(std::move(child)));
        return raw;
    }
    /// Frees a component given with Own() now; does nothing for others.
    void FreeOwned(TComponent* child);

    /// True while the destructor chain runs; close paths then raise no events.
    bool Destroying() const { return FDestroying; }

protected:
    void MarkDestroying() { FDestroying = true; }

private:
    void adopt(std::unique_ptr<TComponent> child);
    void insert(TComponent* child);
    void remove(TComponent* child);

    platform::AnsiString FName;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<std::unique_ptr<TComponent>> FOwned;
    bool FDestroying = false;
};

} // namespace db
