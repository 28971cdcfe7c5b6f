// Feeds every file under the folders named on the command line to the harness once, as the
// fuzzer would, so that the stored corpora run as ordinary tests without the fuzzer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_regular_file(argv[i], ec)) {
            files.emplace_back(argv[i]);
            continue;
        }
        for (fs::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end;
             it.increment(ec))
            if (it->is_regular_file())
                files.push_back(it->path());
        if (ec) {
            std::fprintf(stderr, "cannot read %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream f(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(f), {}};
        // A fresh copy of exactly the input's size, so that a read past its end is caught.
        std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
