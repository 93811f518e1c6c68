#pragma once
// TTntADOSchemaCache: the columns rowsets of the tables a connection's datasets
// have asked about, kept for the life of the login so that every later field,
// load and dataset on that connection searches the kept rowset instead of
// asking the server again. One cache per connection, owned by it and found
// among its components; entries are only appended, and all of them are dropped
// when the connection disconnects or the cache is destroyed.
//
// Keys are "catalog.schema.table" (an unknown part left empty) and match
// without regard to case.
#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"

#include <memory>
#include <vector>

namespace tnt {

class TTntADOSchemaCache : public ado::ConnectionComponent {
public:
    /// With an owner the cache empties itself when that connection disconnects;
    /// the owner must also take ownership (InsertComponent).
    explicit TTntADOSchemaCache(ado::TADOConnection* owner = nullptr);
    ~TTntADOSchemaCache() override;
    TTntADOSchemaCache(const TTntADOSchemaCache&) = delete;
    TTntADOSchemaCache& operator=(const TTntADOSchemaCache&) = delete;

    /// The rowset kept under `key`, or null.
    std::shared_ptr<ado::Recordset> Find(const platform::WideString& key) const;
    /// Keeps `rowset` under `key`.
    void Add(const platform::WideString& key, std::shared_ptr<ado::Recordset> rowset);
    /// Drops every entry.
    void Clear();
    int Count() const { return static_cast<int>(FSchemaKeys.size()); }

private:
    ado::TADOConnection* FOwner;
    int FClientToken = 0;
    std::vector<std::shared_ptr<ado::Recordset>> FSchemaRecordsets;
    std::vector<platform::WideString> FSchemaKeys;
};

} // namespace tnt
