#include "fuzz/ScratchFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fuzz {
namespace {

std::string scratchFolder() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    const std::filesystem::path folder = base / ("velkin-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

} // namespace

ScratchFile::ScratchFile(const std::string& name)
    : folder_(scratchFolder()), path_(folder_ + "/" + name) {}

ScratchFile::~ScratchFile() {
    // The folder goes with the last file in it; another scratch file may still use it.
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    std::filesystem::remove(folder_, ignored);
}

void ScratchFile::write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path_.c_str());
        std::abort();
    }
}

std::string ScratchFile::read() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace fuzz
