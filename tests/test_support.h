// Shared helpers for the conversion tests: a scratch directory per test, whole-file reads
// and writes, and a builder for speech files.
#ifndef QUILLMARSH_TESTS_TEST_SUPPORT_H
#define QUILLMARSH_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct TestRecord {
    uint16_t Number;
    std::string Text; // unmasked
};

// Bytes of a speech file: header byte, line count, records (masked), then the raw tail.
std::string BuildSpeechFile(uint8_t headerByte, uint32_t lineCount,
                            const std::vector<TestRecord>& records, const std::string& tail = "");

std::string ReadFileBytes(const std::filesystem::path& name);
void WriteFileBytes(const std::filesystem::path& name, const std::string& bytes);
// Every regular file below the current directory, with its bytes, sorted by name.
std::vector<std::pair<std::string, std::string>> SnapshotDirectory();

void SetCurrentFileName(const std::string& name);

// Runs each test in a fresh, empty current directory, removed afterwards.
class ScratchDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path Previous;
    std::filesystem::path Scratch;
};

#endif
