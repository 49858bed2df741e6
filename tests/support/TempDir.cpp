#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"

namespace qorv::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path dir =
      fs::temp_directory_path() / ("qorv-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(dir);
  path_ = dir.string();
  if (path_.back() != platform::kPathSeparator) path_ += platform::kPathSeparator;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(fs::path(path_), ignored);
}

std::string TempDir::File(std::string_view name) const { return path_ + std::string(name); }

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string file = File(name);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

CurrentDirGuard::CurrentDirGuard() : saved_(fs::current_path().string()) {}

CurrentDirGuard::~CurrentDirGuard() {
  std::error_code ignored;
  fs::current_path(fs::path(saved_), ignored);
}

bool ReadOnlyModesHonoured(const TempDir& dir) {
  const std::string probe = dir.Write("read-only-probe", "x");
  fs::permissions(probe, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const bool refused = !std::ofstream(probe, std::ios::app).is_open();
  fs::permissions(probe, fs::perms::owner_write, fs::perm_options::add);
  fs::remove(probe);
  return refused;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace qorv::test
