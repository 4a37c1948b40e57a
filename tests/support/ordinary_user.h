#pragma once

// Root writes through any permission bits, so a read-only folder would not
// stop a test run as root. While this lives, the calling thread's file access
// is checked as an ordinary user (nobody); for other users it changes nothing.

#include <sys/fsuid.h>
#include <unistd.h>

class OrdinaryUser {
public:
    OrdinaryUser() {
        if (geteuid() == 0) {
            m_previous = setfsuid(65534);
            m_changed = true;
        }
    }
    ~OrdinaryUser() {
        if (m_changed)
            setfsuid(m_previous);
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

private:
    int m_previous = 0;
    bool m_changed = false;
};
