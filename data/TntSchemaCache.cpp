#include "data/TntSchemaCache.h"

#include "data/ado/ValueText.h"

namespace tnt {

TTntADOSchemaCache::TTntADOSchemaCache(ado::TADOConnection* owner) : FOwner(owner) {
    if (FOwner)
        FClientToken = FOwner->RegisterClient([this](ado::TADOConnection&, bool connecting) {
            // A new login may see another catalogue: nothing kept survives a disconnect.
            if (!connecting)
                Clear();
        });
}

TTntADOSchemaCache::~TTntADOSchemaCache() {
    if (FOwner)
        FOwner->UnRegisterClient(FClientToken);
}

std::shared_ptr<ado::Recordset> TTntADOSchemaCache::Find(const platform::WideString& key) const {
    for (size_t i = 0; i < FSchemaKeys.size(); ++i)
        if (ado::compareTextNoCase(FSchemaKeys[i], key) == 0)
            return FSchemaRecordsets[i];
    return nullptr;
}

void TTntADOSchemaCache::Add(const platform::WideString& key,
                             std::shared_ptr<ado::Recordset> rowset) {
    FSchemaRecordsets.push_back(std::move(rowset));
    FSchemaKeys.push_back(key);
}

void TTntADOSchemaCache::Clear() {
    FSchemaRecordsets.clear();
    FSchemaKeys.clear();
}

} // namespace tnt
