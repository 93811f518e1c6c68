#pragma once
// Demonstration data created at start-up: "demo" (the TTRS database in Big5,
// a GBK database and a Latin-1 database with the awkward cases: no key, a
// two-column key, a blank in a column name, every kind of default, a view,
// dtproperties) and "big" (a million-row table). Generated deterministically;
// databases that already exist (kept in a data directory) are left as they are.
#include "standin/engine/Databases.h"

#include <string>
#include <vector>

namespace standin::engine {

/// Creates the named seeds; throws std::runtime_error for an unknown name.
void seedDatabases(Databases& databases, const std::vector<std::string>& seeds);

} // namespace standin::engine
