#include "support/test_support.h"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir()
{
    static unsigned counter = 0;
    std::random_device device;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("setup-test-" + std::to_string(device()) + "-" + std::to_string(++counter));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const
{
    return (path_ / name).string();
}

void WriteTestFile(const std::string& fileName, const std::string& bytes)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + fileName);
}

std::string ReadTestFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + fileName);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MakeTestBytes(std::size_t size, bool compressible, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes;
    bytes.reserve(size);
    static const char* const words[] = {"key ", "door ", "Morvane ", "holder ", "lock ", "\r\n", "room ", "12 "};
    while (bytes.size() < size) {
        if (compressible)
            bytes += words[random() % 8];
        else
            bytes += static_cast<char>(random() & 0xFF);
    }
    bytes.resize(size);
    return bytes;
}
