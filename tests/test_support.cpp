#include "test_support.h"

#include "file_io.h"
#include "workspace.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

std::string BuildSpeechFile(uint8_t headerByte, uint32_t lineCount,
                            const std::vector<TestRecord>& records, const std::string& tail)
{
    std::string bytes(1, (char)headerByte);
    auto append = [&bytes](uint32_t value, int count) {
        for (int k = 0; k < count; ++k) {
            bytes.push_back((char)(uint8_t)(value >> (8 * k)));
        }
    };
    append(lineCount, 4);
    for (const TestRecord& record : records) {
        append(record.Number, 2);
        append((uint32_t)record.Text.size(), 4);
        for (char c : record.Text) {
            bytes.push_back((char)((uint8_t)c ^ 0x5A));
        }
    }
    return bytes + tail;
}

// The path overload opens names outside ASCII under Windows too.
std::string ReadFileBytes(const fs::path& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::vector<std::pair<std::string, std::string>> SnapshotDirectory()
{
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(".")) {
        if (entry.is_regular_file()) {
            files.emplace_back(entry.path().generic_string(), ReadFileBytes(entry.path()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void SetCurrentFileName(const std::string& name)
{
    std::memset(CurrentFileName, 0, sizeof CurrentFileName);
    std::memcpy(CurrentFileName, name.data(), std::min(name.size(), sizeof CurrentFileName - 1));
}

void ScratchDirectoryTest::SetUp()
{
    Previous = fs::current_path();
    std::random_device seed;
    Scratch = fs::temp_directory_path() /
              ("quillmarsh-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    fs::create_directories(Scratch);
    fs::current_path(Scratch);
    // What the core keeps between conversions is cleared, as in a fresh process.
    StoredHeaderByte = StoredLineCount = FileFaultAt = FileOperationCount = 0;
}

void ScratchDirectoryTest::TearDown()
{
    fs::current_path(Previous);
    std::error_code error;
    fs::remove_all(Scratch, error);
}
