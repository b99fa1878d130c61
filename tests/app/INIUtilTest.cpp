#include "app/INIUtil.h"
#include "platform/Windows.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace app;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempFolder;
using testing_support::WriteFile;

namespace {

std::string WindowsDirectory() {
  char directory[MAX_PATH] = "";
  UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory, length < MAX_PATH ? length : 0);
}

// The line ending of a file the profile functions create.
#ifdef _WIN32
const std::string NewLine = "\r\n";
#else
const std::string NewLine = "\n";
#endif

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

// A settings file's text as the tests compare it. Wine's profile functions write the whole file
// anew, with CRLF line endings, without blank lines and with a line ending after the last line,
// where the stand-in changes only the line it writes: under Wine, texts compare in that form.
std::string AsCompared(std::string_view text) {
  if (!UnderWine()) return std::string(text);
  std::string lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") != std::string_view::npos) (lines += line) += '\n';
    start = end + 1;
  }
  return lines;
}

// Makes a file refuse writes while it lives. The stand-in refuses a read-only file also to a
// superuser; Wine takes the read-only attribute from the file's mode, which lets root write, so
// on Windows the file is held open by a handle that shares nothing instead.
class FileRefusingWrites {
 public:
  explicit FileRefusingWrites(const std::string& path) : path_(path) {
#ifdef _WIN32
    held_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(held_, INVALID_HANDLE_VALUE);
#else
    ::chmod(path.c_str(), 0444);
#endif
  }
  ~FileRefusingWrites() {
#ifdef _WIN32
    CloseHandle(held_);
#else
    ::chmod(path_.c_str(), 0644);
#endif
  }

 private:
  std::string path_;
#ifdef _WIN32
  HANDLE held_;
#endif
};

// The stand-in's Windows directory is $WINDIR; Windows has its own, where tests write nothing.
class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() : windir_("WINDIR", folder_.Path().c_str()) {
    INIUtil_Startup();
    startupPath_ = IniFileName();
    SetIniFileName(folder_.Path() + "\\Tessora.INI");
  }
  std::string Ini() const { return folder_.File("Tessora.INI"); }
  std::string Text() const { return AsCompared(ReadFile(Ini())); }

  TempFolder folder_;
  ScopedEnv windir_;
  std::string startupPath_;
};

#ifndef _WIN32
// Makes a folder refuse new entries while it lives, also for a superuser where the system lets
// the folder be marked immutable.
class FolderRefusingNewEntries {
 public:
  explicit FolderRefusingNewEntries(const std::string& folder) : folder_(folder) {
    ::chmod(folder_.c_str(), 0555);
    if (TakesNewEntries()) SetImmutable(true);
  }
  ~FolderRefusingNewEntries() {
    SetImmutable(false);
    ::chmod(folder_.c_str(), 0755);
  }
  bool TakesNewEntries() const {
    std::string probe = folder_ + "/probe";
    int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
  }

 private:
  void SetImmutable(bool on) {
    int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) ::close(fd);
  }
  std::string folder_;
};

std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

#endif

}  // namespace

TEST_F(SettingsFile, PathIsWindowsDirectoryBackslashFileName) {
  EXPECT_EQ(startupPath_, WindowsDirectory() + "\\Tessora.INI");
#ifndef _WIN32
  EXPECT_EQ(WindowsDirectory(), folder_.Path());
#endif
}

TEST_F(SettingsFile, MissingFileGivesDefaultAndFirstWriteCreatesIt) {
  EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", "none"), "none");
  EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", ""), "");
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "C:\\Palomir\\"));
  EXPECT_EQ(Text(), AsCompared("[Fitters]" + NewLine + "MelrokPM=C:\\Palomir\\" + NewLine));
  EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", "none"), "C:\\Palomir\\");
}

TEST_F(SettingsFile, ReadsAsWindowsDoes) {
  WriteFile(Ini(),
            "; recorded by the setup\r\n"
            "[other]\r\nMelrokPM=wrong section\r\n"
            "  [ FITTERS ]  \r\n"
            ";MelrokPM=commented out\r\n"
            "  melrokpm  =  \"/opt/palomir/\"  \r\n"
            "MelrokPM=second match loses\r\n"
            "Empty=\r\n"
            "Unbalanced=\"abc'\r\n"
            "[Fitters]\r\nOther=later section loses\r\n");
  EXPECT_EQ(ReadIniString("fitters", "MELROKPM", "none"), "/opt/palomir/");
  // A key that exists with an empty value is not missing.
  EXPECT_EQ(ReadIniString("Fitters", "Empty", "none"), "");
  EXPECT_EQ(ReadIniString("Fitters", "Other", "none"), "none");
  EXPECT_EQ(ReadIniString("Fitters", "Unbalanced", ""), "\"abc'");  // quotes kept
}

TEST_F(SettingsFile, LongTextsAreCutTo255) {
  std::string section(255, 's'), key(255, 'k'), value(255, 'v');
  ASSERT_TRUE(WriteIniString(section, key, value));
  EXPECT_EQ(ReadIniString(section, key, "").str(), value);

  WriteFile(Ini(), "[Fitters]\nMelrokPM=" + std::string(300, 'x') + "\n");
  EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", "").str(), std::string(255, 'x'));
}

TEST_F(SettingsFile, WriteKeepsEverythingElseAndTheLineEndings) {
  const std::string before =
      "; PLD settings\r\n[Fitters]\r\nMelrokPM=old\\\r\nOther=1\r\n\r\n[Tools]\r\nA=b";
  WriteFile(Ini(), before);
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "new\\"));
  EXPECT_EQ(
      Text(),
      AsCompared("; PLD settings\r\n[Fitters]\r\nMelrokPM=new\\\r\nOther=1\r\n\r\n[Tools]\r\nA=b"));

  ASSERT_TRUE(WriteIniString("Fitters", "Added", "x"));
  ASSERT_TRUE(WriteIniString("New", "Key", "y"));
  EXPECT_EQ(Text(), AsCompared("; PLD settings\r\n[Fitters]\r\nMelrokPM=new\\\r\nOther=1\r\n"
                               "Added=x\r\n\r\n[Tools]\r\nA=b\r\n[New]\r\nKey=y\r\n"));

  WriteFile(Ini(), "[Fitters]\nMelrokPM=a\n");
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "b"));
  EXPECT_EQ(Text(), AsCompared("[Fitters]\nMelrokPM=b\n"));
}

TEST_F(SettingsFile, RefusedWritesReturnFalseAndChangeNothing) {
  const std::string before = "[Fitters]\nMelrokPM=kept\\\n";
  WriteFile(Ini(), before);
  {
    FileRefusingWrites refusing(Ini());
    EXPECT_FALSE(WriteIniString("Fitters", "MelrokPM", "new\\"));
  }
  EXPECT_EQ(ReadFile(Ini()), before);

  // Texts that would change the file's structure.
  EXPECT_FALSE(WriteIniString("Fitters", "MelrokPM", "a\n[Other]\nKey=b"));
  EXPECT_FALSE(WriteIniString("Fitters", "Melrok=PM", "x"));
  EXPECT_FALSE(WriteIniString("Fitters", " [Other", "x]"));    // would read as a section line
  EXPECT_FALSE(WriteIniString("Fitters", "; MelrokPM", "x"));  // would read as a comment
  EXPECT_EQ(ReadFile(Ini()), before);

  SetIniFileName(folder_.File("missing-folder\\Tessora.INI"));
  EXPECT_FALSE(WriteIniString("Fitters", "MelrokPM", "new\\"));
  EXPECT_FALSE(testing_support::FileExists(folder_.File("missing-folder")));
}

#ifndef _WIN32
// What the stand-in does with the POSIX file system: file names in another letter case, links,
// modes, limits, and the Windows directory it takes from the environment.

TEST_F(SettingsFile, AFileNamedInAnotherLetterCaseIsTheSettingsFile) {
  const std::string other = folder_.File("TESSORA.ini");
  WriteFile(other, "[Fitters]\nMelrokPM=old\n");
  EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", ""), "old");
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "new"));
  EXPECT_EQ(ReadFile(other), "[Fitters]\nMelrokPM=new\n");
  EXPECT_EQ(FilesIn(folder_.Path()), 1u);
}

TEST_F(SettingsFile, ALinkedSettingsFileStaysALink) {
  std::filesystem::create_directory(folder_.File("shared"));
  const std::string target = folder_.File("shared/PLD.INI");
  WriteFile(target, "[Fitters]\nMelrokPM=old\n");
  std::filesystem::create_symlink(target, Ini());
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(Ini()));
  EXPECT_EQ(ReadFile(target), "[Fitters]\nMelrokPM=new\n");
}

TEST_F(SettingsFile, AWriteIsAllOrNothing) {
  const std::string before = "[Fitters]\nMelrokPM=" + std::string(200, 'o') + "\n";
  WriteFile(Ini(), before);
  auto inode = [&] {
    struct stat st {};
    ::stat(Ini().c_str(), &st);
    return st.st_ino;
  };
  ino_t original = inode();

  // A write that cannot be finished (the file-size limit stops it half-way) leaves the old file
  // whole and no temporary file behind.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit tiny = old;
  tiny.rlim_cur = 64;
  ::setrlimit(RLIMIT_FSIZE, &tiny);
  bool written = WriteIniString("Fitters", "MelrokPM", std::string(250, 'n'));
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(Ini()), before);
  EXPECT_EQ(inode(), original);
  EXPECT_EQ(FilesIn(folder_.Path()), 1u);

  // A finished write replaces the file whole, never rewriting it in place.
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "n"));
  EXPECT_NE(inode(), original);
  EXPECT_EQ(FilesIn(folder_.Path()), 1u);
}

TEST_F(SettingsFile, AFolderThatTakesNoNewFileStillLetsTheFileBeRewritten) {
  WriteFile(Ini(), "[Fitters]\r\nMelrokPM=old\\\r\nOther=1\r\n");
  FolderRefusingNewEntries refusing(folder_.Path());
  if (refusing.TakesNewEntries()) GTEST_SKIP() << "this system lets the folder take new files";
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "a longer value\\"));
  EXPECT_EQ(ReadFile(Ini()), "[Fitters]\r\nMelrokPM=a longer value\\\r\nOther=1\r\n");
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "n\\"));
  EXPECT_EQ(ReadFile(Ini()), "[Fitters]\r\nMelrokPM=n\\\r\nOther=1\r\n");
  SetIniFileName(folder_.File("Other.INI"));
  EXPECT_FALSE(WriteIniString("Fitters", "MelrokPM", "x"));  // no new file can be made there
}

TEST_F(SettingsFile, ANewFileGetsTheModeTheUmaskAllows) {
  mode_t old = ::umask(002);
  bool written = WriteIniString("Fitters", "MelrokPM", "x");
  ::umask(old);
  ASSERT_TRUE(written);
  struct stat st {};
  ::stat(Ini().c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0664u);
}

TEST(SettingsFilePath, DriveRootLikeDirectoryGivesTwoSeparators) {
  TempFolder folder;
  std::string root = folder.Path() + "/";
  ScopedEnv windir("WINDIR", root.c_str());
  INIUtil_Startup();
  EXPECT_EQ(std::string(IniFileName()), root + "\\Tessora.INI");
  ASSERT_TRUE(WriteIniString("Fitters", "MelrokPM", "x"));
  EXPECT_EQ(ReadFile(folder.File("Tessora.INI")), "[Fitters]\nMelrokPM=x\n");
}

TEST(SettingsFilePath, AJoinedPathOf255IsKeptAndALongerOneLeavesThePathEmpty) {
  TempFolder folder;
  const std::size_t joined = std::string("\\Tessora.INI").size();
  auto windirOf = [&](std::size_t length) {
    return folder.Path() + "/" + std::string(length - folder.Path().size() - 1, 'w');
  };
  std::string fits = windirOf(255 - joined);
  ScopedEnv env("WINDIR", fits.c_str());
  INIUtil_Startup();
  EXPECT_EQ(std::string(IniFileName()), fits + "\\Tessora.INI");

  // 256 - 12 fits the Windows directory but not the joined path; 260 fits neither.
  for (std::size_t length : {256 - joined, std::size_t{260}}) {
    std::string windir = windirOf(length);
    ScopedEnv env("WINDIR", windir.c_str());
    INIUtil_Startup();
    EXPECT_STREQ(IniFileName(), "") << windir.size();
    EXPECT_EQ(ReadIniString("Fitters", "MelrokPM", "default"), "default");
    EXPECT_FALSE(WriteIniString("Fitters", "MelrokPM", "x"));
  }
}

TEST(SettingsFilePath, WindowsDirectoryFallsBackToTheConfigFolder) {
  TempFolder folder;
  ScopedEnv windir("WINDIR", "");
  ScopedEnv config("XDG_CONFIG_HOME", folder.Path().c_str());
  EXPECT_EQ(DefaultIniFileName(), folder.Path() + "\\Tessora.INI");
  ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
  ScopedEnv home("HOME", folder.Path().c_str());
  EXPECT_EQ(DefaultIniFileName(), folder.Path() + "/.config\\Tessora.INI");
  EXPECT_TRUE(std::filesystem::is_directory(folder.File(".config")));
}
#endif
