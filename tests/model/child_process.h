// Runs part of a test in a forked child, so that a file-size limit, a umask, signal handlers or
// a drop of privileges stay there.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

struct ChildOutcome {
    int status = -1;   // as waitpid gives it
    std::string text;  // what the child's body returned
};

// The user an unprivileged child runs as: nobody when the tests run as root, else the caller.
inline uid_t TestUid() {
    if (::geteuid() != 0) return ::geteuid();
    const passwd* pw = ::getpwnam("nobody");
    return pw != nullptr ? pw->pw_uid : 65534;
}
inline gid_t TestGid() {
    if (::geteuid() != 0) return ::getegid();
    const passwd* pw = ::getpwnam("nobody");
    return pw != nullptr ? pw->pw_gid : 65534;
}

inline ChildOutcome InChild(bool unprivileged, const std::function<std::string()>& body) {
    ChildOutcome outcome;
    int fds[2];
    if (::pipe(fds) != 0) return outcome;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (unprivileged && ::geteuid() == 0) {
            const gid_t gid = TestGid();
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(TestUid()) != 0)
                ::_exit(125);
        }
        const std::string text = body();
        const bool sent =
            ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(sent ? 0 : 126);
    }
    ::close(fds[1]);
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        outcome.text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    if (child > 0) ::waitpid(child, &outcome.status, 0);
    return outcome;
}
