#include "WindowTestSupport.h"

#include "platform/window/InstanceLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace win;

namespace
{
class InstanceLockTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // A runtime folder that is not there yet is made, so the lock still works.
        m_folder = std::filesystem::path(m_runtimeFolder) / "run" / "user";
        setenv("NORVEX_RUNTIME_DIR", m_folder.c_str(), 1);
    }

    // A child process that holds the class's lock until it reads a byte from the pipe.
    pid_t HoldLockInChild(int toChild[2], int fromChild[2])
    {
        const pid_t child = fork();
        if (child == 0)
        {
            char byte = AcquireInstanceLock("TestClass") ? 'y' : 'n';
            (void)!write(fromChild[1], &byte, 1);
            (void)!read(toChild[0], &byte, 1);
            _exit(0);
        }
        char answer = 0;
        EXPECT_EQ(read(fromChild[0], &answer, 1), 1);
        EXPECT_EQ(answer, 'y');
        return child;
    }

    // Whether a fresh process (one that inherited no lock of ours) finds the lock held.
    bool LockedForAnotherProcess()
    {
        const std::string path = InstanceLockPath("TestClass");
        const pid_t child = fork();
        if (child == 0)
        {
            const int file = open(path.c_str(), O_RDWR | O_CREAT, 0600);
            _exit(file >= 0 && flock(file, LOCK_EX | LOCK_NB) != 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::filesystem::path m_folder;
};
} // namespace

TEST_F(InstanceLockTest, AWindowOfAnotherProcessIsFoundThroughTheLock)
{
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    const pid_t child = HoldLockInChild(toChild, fromChild);

    EXPECT_TRUE(IsInstanceLockedElsewhere("TestClass"));
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    EXPECT_FALSE(AcquireInstanceLock("TestClass"));
    EXPECT_EQ(openFiles(), before) << "a refused lock closes its file";
    const WindowHandle found = FindWindow("TestClass");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsOtherProcessWindow(found));
    EXPECT_FALSE(IsWindow(found));
    SetFocus(found);
    ShowWindow(found, kShowMaximize);
    SetForegroundWindow(found);
    EXPECT_EQ(GetOtherProcessActivationCount(), 3u);
    EXPECT_EQ(GetFocus(), nullptr) << "this process's focus does not move";
    EXPECT_FALSE(PostMessage(found, kMsgClose, 0, 0));

    char byte = 'x';
    ASSERT_EQ(write(toChild[1], &byte, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_FALSE(IsInstanceLockedElsewhere("TestClass")) << "the lock dies with its process";
    EXPECT_EQ(FindWindow("TestClass"), nullptr);
}

TEST_F(InstanceLockTest, WindowsHoldTheLockUntilTheLastOneGoes)
{
    const WindowHandle first = MakeWindow();
    const WindowHandle second = MakeWindow();
    EXPECT_TRUE(LockedForAnotherProcess()) << "another process sees this one's window";
    EXPECT_FALSE(IsInstanceLockedElsewhere("TestClass")) << "this process's own lock is not another's";

    DestroyWindow(first);
    EXPECT_TRUE(LockedForAnotherProcess()) << "one window of the class is left";
    DestroyWindow(second);
    EXPECT_FALSE(LockedForAnotherProcess());
    EXPECT_EQ(InstanceLockPath("TestClass"), (m_folder / "norvex-TestClass.lock").string());
    // A runtime folder of the user's own keeps the plain name; the shared fallback one names the user.
    const char* const xdg = std::getenv("XDG_RUNTIME_DIR");
    const std::string keptXdg = xdg != nullptr ? xdg : "";
    unsetenv("NORVEX_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(InstanceLockPath("TestClass"), "/run/user/7/norvex-TestClass.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(InstanceLockPath("TestClass"), "/tmp/norvex-" + std::to_string(getuid()) + "-TestClass.lock");
    if (xdg != nullptr)
        setenv("XDG_RUNTIME_DIR", keptXdg.c_str(), 1);
    ReleaseInstanceLock(nullptr);
    EXPECT_FALSE(AcquireInstanceLock(nullptr) || IsInstanceLockedElsewhere(nullptr)) << "no class, no lock";
    setenv("NORVEX_RUNTIME_DIR", (m_folder / "norvex-TestClass.lock" / "run").c_str(), 1); // a file is in the way
    testing::internal::CaptureStderr();
    EXPECT_FALSE(AcquireInstanceLock("TestClass"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("a second start is not refused"), std::string::npos);
}
