#pragma once
// The ADO connection and command as components, so that an owner can hold
// them in its component list next to its datasets and walk them all (to set
// time-outs, for instance), telling the kinds apart with dynamic_cast:
// TADOConnectionComponent, TADOCommandComponent, TCustomADODataSet.
#include "data/ado/Command.h"
#include "data/ado/Connection.h"
#include "data/db/Component.h"

namespace db {

/// An ado::TADOConnection that joins its owner's component list.
class TADOConnectionComponent : public TComponent, public ado::TADOConnection {
public:
    explicit TADOConnectionComponent(TComponent* owner = nullptr) : TComponent(owner) {}
};

/// An ado::TADOCommand that joins its owner's component list.
class TADOCommandComponent : public TComponent, public ado::TADOCommand {
public:
    explicit TADOCommandComponent(TComponent* owner = nullptr) : TComponent(owner) {}
};

} // namespace db
