// Output files: the one way kestra-map writes, replacing a file in one step and refusing outputs it
// must not replace.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tools/maptool/maptool.h"

// The temporary file being written, for the signal handlers; set and cleared with the signals blocked.
static char pendingTemp[PATH_MAX];
static volatile sig_atomic_t tempPending = 0;
static const int cleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};
// The temporary file's name in the output's folder: short, so that it fits wherever the output's does.
static const char tempName[] = ".kestra-map.XXXXXX";

// Async-signal-safe: removes the temporary file, then lets the signal take its default course.
static void removeTempAndRaise(int sig)
{
    if (tempPending)
        unlink(pendingTemp);
    raise(sig);  // the handler was reset on entry; delivered once this returns
}

static void blockCleanupSignals(bool block, sigset_t* saved)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : cleanupSignals)
        sigaddset(&set, sig);
    sigprocmask(block ? SIG_BLOCK : SIG_SETMASK, block ? &set : saved, block ? saved : nullptr);
}

// Follows symbolic links from path to the name they end at, which need not exist yet.
static bool followLinks(std::string path, std::string* target)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            *target = path;
            return true;
        }
        char link[PATH_MAX];
        ssize_t length = readlink(path.c_str(), link, sizeof link);
        if (length < 0 || size_t(length) == sizeof link)
            return false;
        std::string next(link, size_t(length));
        size_t slash = path.rfind('/');
        path = next[0] == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
    }
    errno = ELOOP;
    return false;
}

static const char* kindOf(mode_t mode)
{
    return S_ISCHR(mode) ? "character device" : S_ISBLK(mode) ? "block device" : S_ISFIFO(mode) ? "FIFO" : "socket";
}

// The mode a new file gets from open(2) with 0666 under the current umask.
static mode_t defaultFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Writes bytes whole to the new temporary file fd with the old file's mode and owner.
static bool fillTemp(int fd, const std::vector<uint8_t>& bytes, const struct stat* old)
{
    if (old && (old->st_uid != geteuid() || old->st_gid != getegid()))
        (void)!fchown(fd, old->st_uid, old->st_gid);  // kept where the user may; else the writer owns it
    bool ok = fchmod(fd, old ? old->st_mode & 07777 : defaultFileMode()) == 0;
    const uint8_t* p = bytes.data();
    size_t left = bytes.size();
    while (ok && left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        p += ok ? n : 0;
        left -= ok ? size_t(n) : 0;
    }
    return ok && fsync(fd) == 0;
}

int writeOutput(const char* path, const std::vector<uint8_t>& bytes, const char* input, std::string* error)
{
    auto refuse = [&](int status, const std::string& text) {
        *error = text;
        return status;
    };
    auto cannot = [&]() { return refuse(1, std::string("cannot write ") + path + ": " + std::strerror(errno)); };
    std::string target;
    if (!followLinks(path, &target))
        return cannot();
    struct stat old, in;
    const bool exists = stat(target.c_str(), &old) == 0;
    const std::string named = target == path ? std::string(path) : std::string(path) + " (a link to " + target + ")";
    if (exists && S_ISDIR(old.st_mode))
        return refuse(1, named + " is a folder, not a file; give -o a file name inside it");
    if (exists && !S_ISREG(old.st_mode))
        return refuse(1, named + " is a " + kindOf(old.st_mode) + ", not a regular file; nothing was written");
    if (exists && input && stat(input, &in) == 0 && in.st_dev == old.st_dev && in.st_ino == old.st_ino)
        return refuse(2, std::string("the output ") + path + " is the input file " + input +
                             "; name another output file");
    if (exists && access(target.c_str(), W_OK) != 0)
        return cannot();
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    if (folder.size() + sizeof tempName > sizeof pendingTemp) {
        errno = ENAMETOOLONG;
        return cannot();
    }

    // The temporary file sits beside the target so that rename replaces it in one step. A signal the
    // caller ignores (nohup) stays ignored.
    struct sigaction cleanup {}, saved[std::size(cleanupSignals)];
    cleanup.sa_handler = removeTempAndRaise;
    cleanup.sa_flags = SA_RESETHAND;
    sigset_t mask;
    blockCleanupSignals(true, &mask);
    for (size_t i = 0; i < std::size(cleanupSignals); ++i)
        if (sigaction(cleanupSignals[i], nullptr, &saved[i]) == 0 && saved[i].sa_handler != SIG_IGN)
            sigaction(cleanupSignals[i], &cleanup, nullptr);
    std::snprintf(pendingTemp, sizeof pendingTemp, "%s%s", folder.c_str(), tempName);
    int fd = mkstemp(pendingTemp);
    int failure = fd < 0 ? errno : 0;
    tempPending = fd >= 0;
    blockCleanupSignals(false, &mask);

    if (fd >= 0) {
        failure = fillTemp(fd, bytes, exists ? &old : nullptr) ? 0 : errno;
        failure = close(fd) != 0 && failure == 0 ? errno : failure;
    }
    blockCleanupSignals(true, &mask);
    failure = failure == 0 && std::rename(pendingTemp, target.c_str()) != 0 ? errno : failure;
    if (failure != 0 && tempPending)
        unlink(pendingTemp);
    tempPending = 0;
    for (size_t i = 0; i < std::size(cleanupSignals); ++i)
        sigaction(cleanupSignals[i], &saved[i], nullptr);
    blockCleanupSignals(false, &mask);
    errno = failure;
    return failure == 0 ? 0 : cannot();
}
