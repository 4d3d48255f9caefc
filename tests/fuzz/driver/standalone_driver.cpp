// Runs a fuzz target without libFuzzer: every file of the seed corpus, each
// seed cut at every length, then a fixed number of pseudo-random inputs and
// mutated seeds. Deterministic, so a failure repeats.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::string& input) {
  // A fresh copy, so a read past the end is caught by the sanitizers.
  std::vector<uint8_t> copy(input.begin(), input.end());
  LLVMFuzzerTestOneInput(copy.data(), copy.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> seeds;
  if (argc > 1 && std::filesystem::is_directory(argv[1])) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  const long iterations = argc > 2 ? std::stol(argv[2]) : 3000;
  for (const auto& seed : seeds) {
    for (size_t n = 0; n <= seed.size(); ++n) Run(seed.substr(0, n));
  }
  std::mt19937 rng(20261209);
  for (long i = 0; i < iterations; ++i) {
    std::string input;
    if (!seeds.empty() && i % 2 == 0) {
      input = seeds[rng() % seeds.size()];
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits && !input.empty(); ++e) {
        const size_t at = rng() % input.size();
        switch (rng() % 3) {
          case 0: input[at] = static_cast<char>(rng()); break;
          case 1: input.erase(at, 1 + rng() % 4); break;
          default: input.insert(at, 1, static_cast<char>(rng())); break;
        }
      }
    } else {
      input.resize(rng() % 512);
      for (auto& c : input) c = static_cast<char>(rng() % 4 ? 32 + rng() % 95 : rng());
    }
    Run(input);
  }
  std::cout << "fuzz: " << seeds.size() << " seeds, " << iterations << " random inputs, no fault\n";
  return 0;
}
