#pragma once
// A file in a per-process scratch folder (in memory where the machine has
// /dev/shm) that the file-reading targets write each input into.
#include <string>

namespace fuzz {

class ScratchFile {
public:
    /// A file named `name` in the scratch folder, created empty on write().
    explicit ScratchFile(const std::string& name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    void write(const std::string& bytes) const;
    /// The file's bytes now; empty when it is missing.
    std::string read() const;

private:
    std::string folder_, path_;
};

} // namespace fuzz
