#include "install_lock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// An update's swap holds the folder exclusively; other processes share it.
TEST(InstallLock, is_refused_only_while_an_update_holds_the_folder) {
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    const int update = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(update, 0);

    ASSERT_EQ(::flock(update, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(InstallLock::holdShared(folder.path()));

    ASSERT_EQ(::flock(update, LOCK_UN), 0);
    EXPECT_TRUE(InstallLock::holdShared(folder.path()));
    EXPECT_TRUE(InstallLock::holdShared(folder.path())) << "a second process of the install";
    EXPECT_NE(::flock(update, LOCK_EX | LOCK_NB), 0) << "the shared lock was not kept";
    EXPECT_TRUE(InstallLock::holdShared(folder.path() + QStringLiteral("/missing")));
    ::close(update);
}

} // namespace
