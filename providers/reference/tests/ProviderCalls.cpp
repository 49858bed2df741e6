#include "ProviderCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "ParamText.h"

namespace qorv_ref::test {

namespace fs = std::filesystem;

std::string Reply::Message() const { return GetParam(text, "ResultMsgStr"); }

// As the library sizes it: the contract's size, or more for a longer input.
std::vector<char> BufferFor(const std::string& input) {
  return std::vector<char>(std::max<size_t>(QORVCRYPT_PROVIDER_BUFFER_SIZE, input.size() + 1), '\0');
}

Reply Call(QorvProviderFn function, const std::string& input) {
  std::vector<char> buffer = BufferFor(input);
  std::copy(input.begin(), input.end(), buffer.begin());
  char* pointer = buffer.data();
  Reply reply;
  reply.ok = function(&pointer) != 0;
  EXPECT_EQ(pointer, buffer.data()) << "the provider must leave the pointer alone";
  EXPECT_EQ(buffer.back(), '\0');
  reply.text = buffer.data();
  return reply;
}

Reply RunSequence(const std::string& init, QorvProviderFn function, const std::string& op) {
  std::vector<char> buffer = BufferFor(init);
  std::copy(init.begin(), init.end(), buffer.begin());
  char* pointer = buffer.data();
  EXPECT_EQ(InitCrypt(0, &pointer), 1);
  const Reply reply = Call(function, op);
  EXPECT_TRUE(Call(FinalCrypt, "").ok);
  return reply;
}

std::string Params(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string text;
  for (const auto& [name, value] : entries) text = SetParam(text, name, value);
  return text;
}

std::string With(const std::string& text, const std::string& name, const std::string& value) {
  return SetParam(text, name, value);
}

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("qorv-ref-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::File(const std::string& name) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + name;
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  WriteBytes(File(name), bytes);
  return File(name);
}

std::vector<std::string> TempFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return fs::exists(path); }

std::string SampleBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

}  // namespace qorv_ref::test
