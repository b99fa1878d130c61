#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testing_support {

#ifdef _WIN32
namespace {

// Under Wine the ODBC drivers are the host's and take the host's paths: the Wine run names a
// host folder in TMPDIR, which the program reaches under the same name on its working drive.
std::string TemporaryFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir && *tmpdir ? tmpdir : std::filesystem::temp_directory_path().string();
}

void SetEnv(const char* name, const char* value) { ::_putenv_s(name, value ? value : ""); }

}  // namespace

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TemporaryFolder() + "/melrok-test." + std::to_string(random());
    if (std::filesystem::create_directory(path)) {
      path_ = path;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}
#else
namespace {

void SetEnv(const char* name, const char* value) {
  if (value)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "melrok-test.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  SetEnv(name, value);
}

ScopedEnv::~ScopedEnv() { SetEnv(name_.c_str(), had_ ? old_.c_str() : nullptr); }

}  // namespace testing_support
