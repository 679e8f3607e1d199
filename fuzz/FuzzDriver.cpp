// The deterministic driver a fuzz target links when it is not built for libFuzzer: it runs every
// file of the corpus folders (or single files) given, then, with --mutate N, N inputs made from
// them by seeded mutations (bit flips, byte changes, insertions, cuts, repeats, splices), so a
// CTest run exercises the target the same way every time.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void mutate(Bytes& b, const std::vector<Bytes>& corpus, std::mt19937& rng) {
    static const std::uint8_t interesting[] = {0,   1,   '\r', '\n', '*', '_', '=', '"',  '{',  '}',
                                               '[', ']', ',',  ':',  '.', '-', '9', 0x7f, 0x80, 0xff};
    const int steps = 1 + static_cast<int>(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        const size_t n = b.size();
        switch (rng() % 7) {
        case 0:
            if (n) b[rng() % n] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            break;
        case 1:
            if (n) b[rng() % n] = interesting[rng() % sizeof interesting];
            break;
        case 2:
            b.insert(b.begin() + static_cast<long>(n ? rng() % (n + 1) : 0),
                     static_cast<std::uint8_t>(rng() % 2 ? interesting[rng() % sizeof interesting] : rng()));
            break;
        case 3:
            if (n) {
                const size_t at = rng() % n, len = 1 + rng() % std::min<size_t>(n - at, 16);
                b.erase(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + len));
            }
            break;
        case 4:
            if (n && n < 8192) {
                const size_t at = rng() % n, len = 1 + rng() % std::min<size_t>(n - at, 32);
                const Bytes piece(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + len));
                b.insert(b.begin() + static_cast<long>(rng() % (n + 1)), piece.begin(), piece.end());
            }
            break;
        case 5: {
            const Bytes& other = corpus[rng() % corpus.size()];
            if (other.empty()) break;
            const size_t from = rng() % other.size();
            b.resize(n ? rng() % (n + 1) : 0);
            b.insert(b.end(), other.begin() + static_cast<long>(from), other.end());
            break;
        }
        case 6:
            if (n) b.resize(rng() % n);
            break;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    long mutations = 0;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mutate" && i + 1 < argc) {
            mutations = std::atol(argv[++i]);
            continue;
        }
        if (std::filesystem::is_directory(a)) {
            std::vector<std::filesystem::path> inDir;
            for (const auto& e : std::filesystem::directory_iterator(a))
                if (e.is_regular_file()) inDir.push_back(e.path());
            std::sort(inDir.begin(), inDir.end());
            files.insert(files.end(), inDir.begin(), inDir.end());
        } else if (std::filesystem::is_regular_file(a)) {
            files.emplace_back(a);
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", a.c_str());
            return 2;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [--mutate N] CORPUS-FOLDER-OR-FILE...\n", argv[0]);
        return 2;
    }
    std::vector<Bytes> corpus;
    for (const auto& f : files) {
        corpus.push_back(readFile(f));
        LLVMFuzzerTestOneInput(corpus.back().data(), corpus.back().size());
    }
    std::mt19937 rng(20261207);
    for (long i = 0; i < mutations; ++i) {
        Bytes input = corpus[rng() % corpus.size()];
        mutate(input, corpus, rng);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%s: %zu corpus files and %ld mutations, no fault\n",
                std::filesystem::path(argv[0]).filename().c_str(), files.size(), mutations);
    return 0;
}
