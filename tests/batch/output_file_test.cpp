// The all-or-nothing writer against what a path can name: new and existing
// files, private modes, links, FIFOs and device nodes. Everything lives in a
// fresh temporary folder; device nodes are made there with mknod.

#include "table/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>

namespace kelmory::batch {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "kelmory-output-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path_); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path, std::ios::binary) << text;
  ::chmod(path.c_str(), mode);
}

// Opens, writes and commits; the first failure's message, or "".
std::string WriteWhole(const std::string& path, const std::string& text) {
  OutputFile file(path);
  if (auto error = file.Open()) return *error;
  if (auto error = file.Write(text)) return *error;
  if (auto error = file.Commit()) return *error;
  return "";
}

// Device nodes need root (or CAP_MKNOD) and a folder not mounted nodev.
bool MakeDevice(const std::string& path, unsigned minor) {
  if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0) return false;
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

TEST(OutputFile, WritesThroughWhatThePathNames) {
  const mode_t mask = ::umask(022);
  struct Case {
    std::string name;
    std::function<void(const Folder&)> setup;
    std::string path;                 // given to OutputFile
    std::string message;              // "" for success
    std::string written_to, content;  // where the text must end up
    mode_t type, mode;                // of `path` afterwards, lstat'ed; mode 0: not checked
    std::set<std::string> names;      // the folder afterwards
  };
  const auto file = [](std::string name, mode_t mode) {
    return [=](const Folder& f) { Put(f / name, "old", mode); };
  };
  const auto link = [](std::string name, std::string to, mode_t mode) {
    return [=](const Folder& f) {
      if (mode) Put(f / to, "old", mode);
      EXPECT_EQ(::symlink(to.c_str(), (f / name).c_str()), 0);
    };
  };
  // clang-format off
  const Case cases[] = {
      {"new file", [](const Folder&) {}, "out.csv", "", "out.csv", "new", S_IFREG, 0644, {"out.csv"}},
      {"replaced file", file("out.csv", 0664), "out.csv", "", "out.csv", "new", S_IFREG, 0664, {"out.csv"}},
      {"private file", file("out.csv", 0600), "out.csv", "", "out.csv", "new", S_IFREG, 0600, {"out.csv"}},
      {"link", link("out.csv", "real.csv", 0640), "out.csv", "", "real.csv", "new", S_IFLNK, 0, {"out.csv", "real.csv"}},
      {"link to a link",
       [&](const Folder& f) {
         link("b", "real.csv", 0600)(f);
         EXPECT_EQ(::symlink("b", (f / "a").c_str()), 0);
       },
       "a", "", "real.csv", "new", S_IFLNK, 0, {"a", "b", "real.csv"}},
      {"dangling link", link("out.csv", "new.csv", 0), "out.csv", "", "new.csv", "new", S_IFLNK, 0, {"out.csv", "new.csv"}},
      {"folder", [](const Folder& f) { fs::create_directory(f / "sub"); },
       "sub", "cannot write '%/sub': it is a folder", "", "", S_IFDIR, 0, {"sub"}},
      {"link loop",
       [](const Folder& f) {
         EXPECT_EQ(::symlink("b", (f / "a").c_str()), 0);
         EXPECT_EQ(::symlink("a", (f / "b").c_str()), 0);
       },
       "a", "cannot write '%/a': Too many levels of symbolic links", "", "", S_IFLNK, 0, {"a", "b"}},
      {"missing folder", [](const Folder&) {},
       "no/out.csv", "cannot write '%/no/out.csv': No such file or directory", "", "", 0, 0, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Folder folder;
    c.setup(folder);
    const std::string path = folder / c.path;
    std::string message = c.message;
    if (const auto at = message.find('%'); at != std::string::npos)
      message.replace(at, 1, folder.path());
    EXPECT_EQ(WriteWhole(path, "new"), message);
    if (!c.written_to.empty()) EXPECT_EQ(Read(folder / c.written_to), c.content);
    struct stat info {};
    if (c.type) {
      ASSERT_EQ(::lstat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & S_IFMT, c.type);
      if (c.mode) EXPECT_EQ(info.st_mode & 07777, c.mode);
    }
    EXPECT_EQ(folder.Names(), c.names);
  }
  // Through a link the target keeps its mode.
  {
    const Folder folder;
    link("l", "t", 0600)(folder);
    ASSERT_EQ(WriteWhole(folder / "l", "x"), "");
    struct stat info {};
    ::stat((folder / "t").c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
  }
  ::umask(mask);
}

TEST(OutputFile, UncommittedLeavesTheTargetAsItWas) {
  const Folder folder;
  Put(folder / "out.csv", "old", 0644);
  {
    OutputFile file(folder / "out.csv");
    ASSERT_EQ(file.Open(), std::nullopt);
    ASSERT_EQ(file.Write("half"), std::nullopt);
    EXPECT_EQ(folder.Names().size(), 2u);  // the temporary file is beside it
  }
  EXPECT_EQ(Read(folder / "out.csv"), "old");
  EXPECT_EQ(folder.Names(), std::set<std::string>{"out.csv"});
}

TEST(OutputFile, FifoIsWrittenStraightThrough) {
  const Folder folder;
  const std::string fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = Read(fifo); });
  EXPECT_EQ(WriteWhole(fifo, "through"), "");
  reader.join();
  EXPECT_EQ(received, "through");
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(folder.Names(), std::set<std::string>{"pipe"});
}

TEST(OutputFile, DevicesAreWrittenStraightThrough) {
  const Folder folder;
  if (!MakeDevice(folder / "null", 3) || !MakeDevice(folder / "full", 7)) {
    GTEST_SKIP() << "cannot make usable device nodes here (needs root and a folder without nodev)";
  }
  EXPECT_EQ(WriteWhole(folder / "null", "gone"), "");
  EXPECT_EQ(WriteWhole(folder / "full", "too much"),
            "cannot write the output: No space left on device");
  for (const char* name : {"null", "full"}) {
    struct stat info {};
    ASSERT_EQ(::lstat((folder / name).c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << name << " is no longer a device";
  }
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"full", "null"}));
}

}  // namespace
}  // namespace kelmory::batch
