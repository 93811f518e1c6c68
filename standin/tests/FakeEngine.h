#pragma once
// A scripted Engine for exercising the TDS front end without the SQL engine.
//
// It knows a handful of exact batches (see FakeEngine.cpp) and answers them the
// way the real engine does; anything else gets error 102. Logins are checked
// against the configured user and password.
#include "standin/engine/EngineApi.h"

namespace standin::testing {

/// Creates the scripted engine.
std::unique_ptr<Engine> createFakeEngine(const EngineOptions& options);

} // namespace standin::testing
