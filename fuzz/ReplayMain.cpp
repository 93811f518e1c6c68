// Feeds every file of the given corpus folders (or given files) through a fuzz
// target's entry point once, so that the normal build checks the seeds and every
// finding kept in the repository without a fuzzing run. An empty corpus fails:
// a replay that ran nothing would pass unnoticed.
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& argument) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(argument)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argument))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    } else {
        files.push_back(argument);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
            std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return replayed == 0 ? 1 : 0;
}
