// Stands in for the SQL engine's createEngine in builds that lack the engine.
#include "standin/tests/FakeEngine.h"

namespace standin {

std::unique_ptr<Engine> createEngine(const EngineOptions& options) {
    return testing::createFakeEngine(options);
}

} // namespace standin
