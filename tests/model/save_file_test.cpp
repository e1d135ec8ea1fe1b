#include "model/save_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"

namespace {

namespace fs = std::filesystem;

const std::string kNew = [] {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "FIELD= " + std::to_string(i + 2) + "; N; 6; 0; N; new content\n";
    return text;
}();

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool WriteNew(std::FILE* stream) {
    return std::fputs(kNew.c_str(), stream) >= 0;
}

// What a save may change about each entry of the fixture folder.
struct Entry {
    struct stat st;
    std::string content;  // regular files only
};

std::map<std::string, Entry> Snapshot(const fs::path& dir) {
    std::map<std::string, Entry> entries;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        Entry entry{};
        ::lstat(e.path().c_str(), &entry.st);
        if (S_ISREG(entry.st.st_mode)) entry.content = ReadAll(e.path());
        entries[e.path().lexically_relative(dir).string()] = entry;
    }
    return entries;
}

ChildOutcome Save(const std::string& path, bool unprivileged, bool sizeLimit) {
    return InChild(unprivileged, [&] {
        ::umask(027);
        if (sizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, 100};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::string error;
        return SaveFile(path, WriteNew, error) ? std::string("saved") : error;
    });
}

void GiveToTestUser(const fs::path& path) {
    ASSERT_EQ(::lchown(path.c_str(), TestUid(), TestGid()), 0);
}

enum class Inode { kReplaced, kKept };

struct SaveCase {
    const char* behaviour;
    void (*prepare)(const fs::path& dir);
    const char* target;
    std::vector<std::string> changed;  // entries that hold the new content afterwards
    Inode inode;
    bool unprivileged;  // the save runs as an ordinary user
    bool sizeLimit;     // writes fail after 100 bytes
    const char* error;  // after "PATH: ", or null when the save succeeds
};

const SaveCase kCases[] = {
    {"regular file is replaced, keeping its mode",
     [](const fs::path& d) {
         WriteAll(d / "f.pro", "old");
         ::chmod((d / "f.pro").c_str(), 0604);
     },
     "f.pro",
     {"f.pro"},
     Inode::kReplaced,
     false,
     false,
     nullptr},
    {"link to a file replaces the file and stays a link",
     [](const fs::path& d) {
         WriteAll(d / "real.pro", "old");
         fs::create_symlink("real.pro", d / "link.pro");
     },
     "link.pro",
     {"real.pro"},
     Inode::kReplaced,
     false,
     false,
     nullptr},
    {"dangling link creates the file it names with the umask's mode",
     [](const fs::path& d) {
         fs::create_directory(d / "sub");
         fs::create_symlink("sub/new.pro", d / "link.pro");
     },
     "link.pro",
     {"sub/new.pro"},
     Inode::kReplaced,
     false,
     false,
     nullptr},
    {"new file gets the umask's mode",
     [](const fs::path&) {},
     "fresh.pro",
     {"fresh.pro"},
     Inode::kReplaced,
     false,
     false,
     nullptr},
    {"hard-linked file is written in place and keeps its links",
     [](const fs::path& d) {
         WriteAll(d / "a.pro", "old");
         fs::create_hard_link(d / "a.pro", d / "b.pro");
     },
     "a.pro",
     {"a.pro", "b.pro"},
     Inode::kKept,
     false,
     false,
     nullptr},
    {"another user's file keeps its owner and group",
     [](const fs::path& d) {
         WriteAll(d / "theirs.pro", "old");
         ::chmod((d / "theirs.pro").c_str(), 0600);
         GiveToTestUser(d / "theirs.pro");
     },
     "theirs.pro",
     {"theirs.pro"},
     Inode::kReplaced,
     false,
     false,
     nullptr},
    {"writable file in a read-only folder is written in place",
     [](const fs::path& d) {
         fs::create_directory(d / "ro");
         WriteAll(d / "ro/f.pro", "old");
         GiveToTestUser(d / "ro/f.pro");
         ::chmod((d / "ro").c_str(), 0555);
     },
     "ro/f.pro",
     {"ro/f.pro"},
     Inode::kKept,
     true,
     false,
     nullptr},
    {"another user's writable file is written in place, keeping its owner",
     [](const fs::path& d) {
         fs::create_directory(d / "w");
         GiveToTestUser(d / "w");
         WriteAll(d / "w/f.pro", "old");
         ::chmod((d / "w/f.pro").c_str(), 0666);
     },
     "w/f.pro",
     {"w/f.pro"},
     Inode::kKept,
     true,
     false,
     nullptr},
    {"another user's writable file in a sticky folder is written in place",
     [](const fs::path& d) {
         fs::create_directory(d / "t");
         ::chmod((d / "t").c_str(), 01777);
         WriteAll(d / "t/f.pro", "old");
         ::chmod((d / "t/f.pro").c_str(), 0666);
     },
     "t/f.pro",
     {"t/f.pro"},
     Inode::kKept,
     true,
     false,
     nullptr},
    {"character device stays a device",
     [](const fs::path& d) {
         // Only root may make one; /dev/null itself cannot be replaced by anyone else.
         if (::mknod((d / "dev").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
             fs::create_symlink("/dev/null", d / "dev");
     },
     "dev",
     {},
     Inode::kKept,
     false,
     false,
     nullptr},
    {"read-only file is refused",
     [](const fs::path& d) {
         fs::create_directory(d / "w");
         GiveToTestUser(d / "w");
         WriteAll(d / "w/f.pro", "old");
         ::chmod((d / "w/f.pro").c_str(), 0444);
         GiveToTestUser(d / "w/f.pro");
     },
     "w/f.pro",
     {},
     Inode::kKept,
     true,
     false,
     "cannot open: Permission denied"},
    {"missing folder is reported",
     [](const fs::path&) {},
     "missing/out.pro",
     {},
     Inode::kKept,
     false,
     false,
     "cannot open: No such file or directory"},
    {"folder is never replaced",
     [](const fs::path& d) { fs::create_directories(d / "d.pro/in"); },
     "d.pro",
     {},
     Inode::kKept,
     false,
     false,
     "cannot open: Is a directory"},
    {"failed write leaves the old file and no temporary file",
     [](const fs::path& d) { WriteAll(d / "f.pro", "the user's work\n"); },
     "f.pro",
     {},
     Inode::kKept,
     false,
     true,
     "cannot write: File too large"},
    {"failed write in place says the file may be incomplete",
     [](const fs::path& d) {
         WriteAll(d / "a.pro", "old");
         fs::create_hard_link(d / "a.pro", d / "b.pro");
     },
     "a.pro",
     {"a.pro", "b.pro"},
     Inode::kKept,
     false,
     true,
     "cannot write: File too large (the file may be incomplete)"},
};

void PrintTo(const SaveCase& c, std::ostream* out) {
    *out << c.behaviour;
}

class SaveFileTest : public ::testing::TestWithParam<SaveCase> {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "save_file_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        // An unprivileged child must reach the fixtures.
        ::chmod(dir.c_str(), 0755);
    }
    void TearDown() override {
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_directory() && !e.is_symlink()) ::chmod(e.path().c_str(), 0755);
        fs::remove_all(dir);
    }
    fs::path dir;
};

TEST_P(SaveFileTest, SavesByTheKindOfTarget) {
    const SaveCase& c = GetParam();
    c.prepare(dir);
    const auto before = Snapshot(dir);
    const std::string path = (dir / c.target).string();
    const ChildOutcome outcome = Save(path, c.unprivileged, c.sizeLimit);
    ASSERT_TRUE(WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0) << outcome.status;
    EXPECT_EQ(outcome.text, c.error ? path + ": " + c.error : "saved");

    const auto after = Snapshot(dir);
    for (const auto& [name, entry] : after) {
        const bool changed = std::find(c.changed.begin(), c.changed.end(), name) != c.changed.end();
        const auto old = before.find(name);
        if (old == before.end()) {  // only a file the save created, no temporary one
            EXPECT_TRUE(changed && c.error == nullptr) << name << " appeared";
            EXPECT_EQ(entry.st.st_mode & 07777, 0640u) << name;
            EXPECT_EQ(entry.content, kNew) << name;
            continue;
        }
        const struct stat& was = old->second.st;
        EXPECT_EQ(entry.st.st_mode, was.st_mode) << name;
        EXPECT_EQ(entry.st.st_uid, was.st_uid) << name;
        EXPECT_EQ(entry.st.st_gid, was.st_gid) << name;
        EXPECT_EQ(entry.st.st_nlink, was.st_nlink) << name;
        const bool sameInode = entry.st.st_ino == was.st_ino;
        EXPECT_EQ(sameInode, !changed || c.inode == Inode::kKept) << name;
        if (!changed) {
            EXPECT_EQ(entry.content, old->second.content) << name;
        } else if (c.error == nullptr) {
            EXPECT_EQ(entry.content, kNew) << name;
        }
    }
    std::size_t created = 0;
    for (const auto& name : c.changed)
        created += before.count(name) == 0 && c.error == nullptr ? 1 : 0;
    EXPECT_EQ(after.size(), before.size() + created);
}

INSTANTIATE_TEST_SUITE_P(Targets, SaveFileTest, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.behaviour; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST(SaveFileNameTest, EmptyPathCreatesNothing) {
    std::string error;
    EXPECT_FALSE(SaveFile("", WriteNew, error));
    EXPECT_EQ(error, ": cannot open: No such file or directory");
}

TEST_F(SaveFileTest, FifoIsWrittenToItsReader) {
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadAll(fifo); });
    std::string error;
    EXPECT_TRUE(SaveFile(fifo.string(), WriteNew, error)) << error;
    reader.join();
    EXPECT_EQ(received, kNew);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Snapshot(dir).size(), 1u);
}

// Ctrl+C after the temporary file is written: the process dies of SIGINT (status 130 in a
// shell), the old file intact and no temporary file left.
TEST_F(SaveFileTest, InterruptedSaveLeavesNoTemporaryFile) {
    const fs::path target = dir / "f.pro";
    WriteAll(target, "the user's work\n");
    const ChildOutcome outcome = InChild(false, [&] {
        RemoveSaveTemporaryOnSignals();
        std::string error;
        SaveFile(
            target.string(),
            [](std::FILE* stream) {
                const bool written = WriteNew(stream) && std::fflush(stream) == 0;
                std::raise(SIGINT);
                return written;
            },
            error);
        return std::string("not interrupted");
    });
    ASSERT_TRUE(WIFSIGNALED(outcome.status)) << outcome.text;
    EXPECT_EQ(128 + WTERMSIG(outcome.status), 130);
    EXPECT_EQ(ReadAll(target), "the user's work\n");
    EXPECT_EQ(Snapshot(dir).size(), 1u);
}

}  // namespace
