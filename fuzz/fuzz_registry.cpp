// The .reg reader on arbitrary file contents. Properties:
// - reading never changes the file;
// - creating a key either leaves the file's bytes as they were (the file is not
//   an export) or keeps them as the new file's prefix;
// - after a creation the new key opens, and every key that could be read before
//   reads the same values (an appended key never swallows or corrupts earlier text).
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchFile.h"
#include "platform/Registry.h"

#include <string>

namespace {

constexpr const char* kKnownKey = "\\Software\\Orvane\\Pelmar4";
constexpr const char* kCreatedKey = "\\Software\\Velkin\\Fuzz Created";

struct KeyRead {
    bool opened = false;
    platform::AnsiString serverPath, defaultValue;
    bool operator==(const KeyRead&) const = default;
};

KeyRead readKnownKey(const std::string& path) {
    platform::Registry registry(path);
    KeyRead read;
    read.opened = registry.OpenKey(kKnownKey, false);
    read.serverPath = registry.ReadString("ServerPath");
    read.defaultValue = registry.ReadString("");
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string original(reinterpret_cast<const char*>(data), size);
    fuzz::ScratchFile file("registry.reg");
    file.write(original);

    const KeyRead before = readKnownKey(file.path());
    FUZZ_CHECK(file.read() == original, "reading a key leaves the file untouched");
    if (!before.opened)
        FUZZ_CHECK(before.serverPath.empty(), "a key that did not open reads no value");

    platform::Registry registry(file.path());
    const bool created = registry.OpenKey(kCreatedKey, true);
    const std::string after = file.read();
    if (!created) {
        FUZZ_CHECK(after == original, "a refused creation leaves the file as it was");
        return 0;
    }
    FUZZ_CHECK(after.starts_with(original), "a created key is appended to the file");
    if (after != original)
        FUZZ_CHECK(registry.ReadString("ServerPath").empty(), "a new key holds no values");

    platform::Registry reread(file.path());
    FUZZ_CHECK(reread.OpenKey(kCreatedKey, false), "a created key opens afterwards");
    FUZZ_CHECK(readKnownKey(file.path()) == before, "creating a key keeps the others' values");
    return 0;
}
