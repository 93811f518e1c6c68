#include "data/db/Component.h"

#include "data/db/DBErrors.h"

#include <algorithm>

namespace db {

TComponent::TComponent(TComponent* owner) {
    if (owner)
        owner->insert(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    // Owned children go first, newest first, as they may refer to older ones.
    while (!FOwned.empty()) {
        std::unique_ptr<TComponent> last = std::move(FOwned.back());
        FOwned.pop_back();
        last.reset();
    }
    for (TComponent* c : FComponents)
        c->FOwner = nullptr;
    FComponents.clear();
    if (FOwner)
        FOwner->remove(this);
}

void TComponent::adopt(std::unique_ptr<TComponent> child) {
    if (!child)
        return;
    if (child->FOwner != this) {
        if (child->FOwner)
            child->FOwner->remove(child.get());
        insert(child.get());
    }
    FOwned.push_back(std::move(child));
}

void TComponent::FreeOwned(TComponent* child) {
    auto it = std::find_if(FOwned.begin(), FOwned.end(),
                           [child](const auto& p) { return p.get() == child; });
    if (it == FOwned.end())
        return;
    std::unique_ptr<TComponent> doomed = std::move(*it);
    FOwned.erase(it);
    doomed.reset();
}

void TComponent::insert(TComponent* child) {
    child->FOwner = this;
    FComponents.push_back(child);
}

void TComponent::remove(TComponent* child) {
    std::erase(FComponents, child);
    child->FOwner = nullptr;
}

void DatabaseError(const std::string& message, const TComponent* component) {
    if (component && !component->Name().empty())
        throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

} // namespace db
