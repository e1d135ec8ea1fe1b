#include "model/save_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr const char kIncomplete[] = " (the file may be incomplete)";
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kMaxLinkHops = 40;

// The temporary file of the save in progress, for a signal handler to remove. The path is
// complete before the flag is raised, so the handler never reads a half-copied name.
char tempPath[PATH_MAX];
std::atomic<bool> tempActive{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Keeps the cleanup signals away from this thread while the temporary file's existence and
// its registration change together.
class SignalGuard {
  public:
    SignalGuard() noexcept {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kSignals)
            sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &saved_);
    }
    ~SignalGuard() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

  private:
    sigset_t saved_;
};

bool Fail(std::string& error, const std::string& path, const char* what, int code,
          const char* tail = "") {
    error = path + ": " + what + ": " + std::strerror(code != 0 ? code : EIO) + tail;
    return false;
}

// Writes, flushes, optionally syncs and closes fd; 0 or the first error.
int WriteAndClose(int fd, const SaveWriter& write, bool sync) {
    std::FILE* stream = ::fdopen(fd, "w");
    if (stream == nullptr) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    errno = 0;
    const bool ok = write(stream) && std::fflush(stream) == 0 && (!sync || ::fsync(fd) == 0);
    int e = ok ? 0 : (errno != 0 ? errno : EIO);
    if (std::fclose(stream) != 0 && e == 0) e = errno != 0 ? errno : EIO;
    return e;
}

// The plain open-for-writing: used where a rename could not keep the target what it is.
bool WriteDirectly(const std::string& path, const std::string& target, const SaveWriter& write,
                   bool sync, const char* tail, std::string& error) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Fail(error, path, "cannot open", errno);
    const int e = WriteAndClose(fd, write, sync);
    return e == 0 || Fail(error, path, "cannot write", e, tail);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that a dangling link names at the end of its chain; empty (errno set) when the
// chain loops or cannot be read.
std::string DanglingTarget(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? path : std::string();
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return {};
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) == sizeof link) {
            errno = ENAMETOOLONG;
            return {};
        }
        const std::string next(link, static_cast<std::size_t>(n));
        path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
    }
    errno = ELOOP;
    return {};
}

// Six letters or digits, different for each try and each process.
void FillSuffix(char* out) noexcept {
    static std::atomic<unsigned long> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long x = static_cast<unsigned long long>(now.tv_nsec) ^
                           (static_cast<unsigned long long>(::getpid()) << 32) ^
                           (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 6; ++i) {
        x ^= x >> 29;
        x *= 0xBF58476D1CE4E5B9ull;
        out[i] = kChars[x % (sizeof kChars - 1)];
    }
}

// Creates "target.XXXXXX" and registers it for removal on a signal. A new file gets what a
// plain open gives under the umask and the folder's default rights; a replacement starts
// private and takes the old file's rights once its owner is set.
int CreateTemporary(const std::string& target, bool replacing, char (&name)[PATH_MAX]) {
    if (target.size() + 8 > sizeof name) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(name, target.data(), target.size());
    std::memcpy(name + target.size(), ".XXXXXX", 8);
    SignalGuard guard;
    for (int attempt = 0; attempt < 100; ++attempt) {
        FillSuffix(name + target.size() + 1);
        const int fd =
            ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
        if (fd >= 0) {
            std::memcpy(tempPath, name, sizeof tempPath);
            tempActive.store(true);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

void DropTemporary(const char* name, bool unlink) noexcept {
    SignalGuard guard;
    if (unlink) ::unlink(name);
    tempActive.store(false);
}

// Gives the temporary file the old file's owner where the process may, then its rights
// (after the owner: a change of owner clears the set-id bits).
int AdoptOwnerAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM) return errno;
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM) return errno;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

// A rename is only on disk once its folder is; file systems that cannot sync a folder say so
// with EINVAL, which is no failure of the save.
int SyncFolder(const std::string& target) {
    const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    const int e = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return e;
}

// The temporary-file path; old is null for a new file. A folder where no file can be created
// falls back to the in-place write, the only way left to save a file that is itself writable.
bool WriteReplacing(const std::string& path, const std::string& target, const struct stat* old,
                    const SaveWriter& write, std::string& error) {
    char name[PATH_MAX];
    const int fd = CreateTemporary(target, old != nullptr, name);
    if (fd < 0) {
        if (old != nullptr && (errno == EACCES || errno == EPERM))
            return WriteDirectly(path, target, write, true, kIncomplete, error);
        return Fail(error, path, "cannot open", errno);
    }
    int e = old != nullptr ? AdoptOwnerAndMode(fd, *old) : 0;
    if (e != 0) {
        ::close(fd);
        DropTemporary(name, true);
        return Fail(error, path, "cannot open", e);
    }
    e = WriteAndClose(fd, write, true);
    if (e == 0) {
        SignalGuard guard;
        if (::rename(name, target.c_str()) == 0) {
            tempActive.store(false);
        } else {
            e = errno;
        }
    }
    if (e != 0) {
        DropTemporary(name, true);
        return Fail(error, path, "cannot write", e);
    }
    e = SyncFolder(target);
    return e == 0 || Fail(error, path, "cannot write", e);
}

// Saving through a link to an existing file replaces the file, not the link.
std::string Resolved(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

bool SaveNewFile(const std::string& path, const SaveWriter& write, std::string& error) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return WriteReplacing(path, path, nullptr, write, error);
    const std::string target = DanglingTarget(path);
    if (target.empty()) return Fail(error, path, "cannot open", errno);
    return WriteReplacing(path, target, nullptr, write, error);
}

void RemoveTemporaryAndDie(int sig) {
    RemoveSaveTemporary();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

bool SaveFile(const std::string& path, const SaveWriter& write, std::string& error) {
    struct stat st;
    if (path.empty()) return Fail(error, path, "cannot open", ENOENT);
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return SaveNewFile(path, write, error);
        return Fail(error, path, "cannot open", errno);
    }
    if (!S_ISREG(st.st_mode)) return WriteDirectly(path, path, write, false, "", error);
    const std::string target = Resolved(path);
    // The old file would have refused a plain open; a rename must not get round that.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(error, path, "cannot open", errno);
    if (st.st_nlink > 1) return WriteDirectly(path, target, write, true, kIncomplete, error);
    // Only root can give a replacement another user's ownership, and in a sticky folder such
    // as /tmp only the owner may rename over the file: another user's file is rewritten.
    if (st.st_uid != ::geteuid() && ::geteuid() != 0)
        return WriteDirectly(path, target, write, true, kIncomplete, error);
    return WriteReplacing(path, target, &st, write, error);
}

void RemoveSaveTemporary() noexcept {
    if (tempActive.exchange(false)) ::unlink(tempPath);
}

void RemoveSaveTemporaryOnSignals() noexcept {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndDie;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals)
        sigaddset(&action.sa_mask, sig);
    for (int sig : kSignals) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &action, nullptr);
    }
}
