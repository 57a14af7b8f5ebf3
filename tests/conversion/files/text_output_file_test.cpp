#include "conversion/files/text_output_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <utility>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/stop/stoppable_waits.h"
#include "tests/conversion/files/scarce_memory.h"
#include "tests/support/scratch_folder.h"

// A stand-in for the system's thread creation, which fails on demand as it
// does under a tight limit to processes; memory fails through
// scarce_memory.h.
namespace routalo {
namespace {
std::atomic<bool> threadsFail = false;
}  // namespace
}  // namespace routalo

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*run)(void*), void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    return routalo::threadsFail ? EAGAIN : real(thread, attributes, run, argument);
}

namespace routalo {
namespace {

using testing::allocationsFailFrom;
using testing::ReadBytes;
using testing::ScratchFolder;

TEST(TextOutputFile, EndsEveryLineInCrLf) {
    const ScratchFolder folder;
    TextOutputFile file(folder.File("doc.kml"));
    file.WriteLine("first");
    file.WriteLine("");
    file.WriteLine("third");
    file.Close();
    EXPECT_EQ(ReadBytes(folder.File("doc.kml")), "first\r\n\r\nthird\r\n");
}

TEST(TextOutputFile, EmptiesAFileThatExists) {
    const ScratchFolder folder;
    const std::string path = folder.Write("doc.kml", std::string(10000, 'o'));
    TextOutputFile file(path);
    file.WriteLine("new");
    file.Close();
    EXPECT_EQ(ReadBytes(path), "new\r\n");
}

TEST(TextOutputFile, WritesLinesLargerThanItsBuffer) {
    const ScratchFolder folder;
    const std::string big(std::size_t{3} * 1024 * 1024, 'x');
    TextOutputFile file(folder.File("doc.kml"));
    file.WriteLine("a");
    file.WriteLine(big);
    file.WriteLine("b");
    file.Close();
    EXPECT_EQ(ReadBytes(folder.File("doc.kml")), "a\r\n" + big + "\r\nb\r\n");
}

// Lines of every length come out whole and in order however they fall
// against the buffer's hand-overs.
TEST(TextOutputFile, WritesLinesWholeAcrossHandOvers) {
    const ScratchFolder folder;
    TextOutputFile file(folder.File("doc.kml"));
    std::string expected;
    for (std::size_t i = 0; expected.size() < std::size_t{5} * 1024 * 1024; ++i) {
        const std::string text(i * 7919 % 100'000, static_cast<char>('a' + i % 26));
        file.WriteLine(text + "|");
        expected += text + "|\r\n";
    }
    file.Close();
    EXPECT_EQ(ReadBytes(folder.File("doc.kml")), expected);
}

// Keeps the file `kept` from being written over.
OverwriteGuard Keeping(const FileIdentity& kept) {
    return [kept](const FileIdentity& file) -> std::optional<std::string> {
        return file == kept ? std::optional<std::string>("kept") : std::nullopt;
    };
}

// The log must survive any name for itself given as the document path.
class SameFileGuard : public ::testing::Test {
  protected:
    void ExpectRefusedAndLogIntact(const std::string& documentPath) {
        TextInputFile log(logPath_);
        EXPECT_THROW(TextOutputFile(documentPath, Keeping(log.Identity())), FileRefused);
        log.Close();
        EXPECT_EQ(ReadBytes(logPath_), kLog);
    }

    static constexpr std::string_view kLog = "the log\r\nmust stay\r\n";
    ScratchFolder folder_;
    std::string logPath_ = folder_.Write("rit.kml", kLog);
};

TEST_F(SameFileGuard, RefusesTheLogsOwnName) {
    ExpectRefusedAndLogIntact(logPath_);
}

TEST_F(SameFileGuard, RefusesASymbolicLinkToTheLog) {
    std::filesystem::create_symlink(logPath_, folder_.File("link.kml"));
    ExpectRefusedAndLogIntact(folder_.File("link.kml"));
}

TEST_F(SameFileGuard, RefusesAHardLinkToTheLog) {
    std::filesystem::create_hard_link(logPath_, folder_.File("hard.kml"));
    ExpectRefusedAndLogIntact(folder_.File("hard.kml"));
}

TEST_F(SameFileGuard, AcceptsAnotherFile) {
    TextInputFile log(logPath_);
    TextOutputFile document(folder_.File("other.kml"), Keeping(log.Identity()));
    document.Close();
    EXPECT_EQ(ReadBytes(folder_.File("other.kml")), "");
}

// A document has one writer: a second one, by any name, is refused and
// leaves the first one's lines alone.
TEST(TextOutputFile, RefusesAFileThatAnotherWriterHolds) {
    const ScratchFolder folder;
    const std::string path = folder.File("doc.kml");
    std::filesystem::create_symlink(path, folder.File("link.kml"));
    TextOutputFile first(path);
    first.WriteLine("first");
    for (const std::string& name : {path, folder.File("link.kml")}) {
        try {
            TextOutputFile second(name);
            ADD_FAILURE() << "a second writer of " << name;
        } catch (const FileRefused& error) {
            EXPECT_STREQ(error.what(), "another conversion is writing this document");
        }
    }
    first.Close();
    EXPECT_EQ(ReadBytes(path), "first\r\n");
    TextOutputFile after(path);  // free again once closed
    after.Close();
    EXPECT_EQ(ReadBytes(path), "");
}

TEST(TextOutputFile, RefusesPathsThatCannotBeCreated) {
    const ScratchFolder folder;
    EXPECT_THROW(TextOutputFile(folder.File("missing/doc.kml")), FileError);
    EXPECT_THROW(TextOutputFile(folder.Path().string()), FileError);
}

TEST(TextOutputFile, ReportsAFullDiskAtTheLatestWhenClosing) {
    TextOutputFile file("/dev/full");
    file.WriteLine("does not fit");
    EXPECT_THROW(file.Close(), FileError);
}

TEST(TextOutputFile, ReportsAFullDiskWhenItsBufferOverflows) {
    TextOutputFile file("/dev/full");
    const std::string line(1000, 'x');
    EXPECT_THROW(
        {
            for (int i = 0; i < 5000; ++i) {
                file.WriteLine(line);
            }
        },
        FileError);
    EXPECT_THROW(file.WriteLine("after the failure"), FileRefused);
}

TEST(TextOutputFile, KeepsWhatIsBufferedWhenAbandoned) {
    const ScratchFolder folder;
    {
        TextOutputFile file(folder.File("doc.kml"));
        file.WriteLine("kept");
        file.Abandon();
    }
    EXPECT_EQ(ReadBytes(folder.File("doc.kml")), "kept\r\n");
}

TEST(TextOutputFile, ReleasesItsDescriptorOnEveryPath) {
    const ScratchFolder folder;
    const int before = testing::OpenDescriptorCount();
    {
        TextOutputFile file(folder.File("a.kml"));
        file.WriteLine("x");
    }
    {
        TextOutputFile full("/dev/full");
        full.WriteLine("x");
        EXPECT_THROW(full.Close(), FileError);
    }
    EXPECT_THROW(TextOutputFile(folder.Path().string()), FileError);
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

// A write that waits for a pipe's paused reader sleeps, also after a
// wake-up that no stop asked for (a stray byte in the wake-up pipe), and
// goes on once the reader reads again.
TEST(TextOutputFile, SleepsWhileAPipesReaderPauses) {
    const ScratchFolder folder;
    const std::string path = folder.File("doc.kml");
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    PrepareStoppableWaits();
    WakeStoppableWaits();
    const std::string line(999, 'x');
    constexpr std::size_t kLines = 3000;  // more than the pipe and both buffers hold
    std::string received;
    const std::clock_t started = std::clock();
    std::thread readsLater([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::fcntl(reader, F_SETFL, 0);
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::read(reader, buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
    });
    {
        TextOutputFile document(path);
        for (std::size_t i = 0; i < kLines; ++i) {
            document.WriteLine(line);
        }
        document.Close();
    }
    readsLater.join();
    ::close(reader);
    EXPECT_EQ(received.size(), kLines * (line.size() + 2));
    // A write that spun would take the whole pause, half a second, on top of
    // the work; ThreadSanitizer's bookkeeping doubles the work alone.
#ifdef __SANITIZE_THREAD__
    constexpr std::clock_t kWorkAtMost = CLOCKS_PER_SEC * 2 / 5;
#else
    constexpr std::clock_t kWorkAtMost = CLOCKS_PER_SEC / 5;
#endif
    EXPECT_LT(std::clock() - started, kWorkAtMost) << "CPU time while the reader paused";
}

// A writer thread or buffers that cannot be had leave an existing file as
// it was, create none where there was none, and leave no descriptor open.
TEST(TextOutputFile, TouchesNoFileWhenTheWritingCannotBeSetUp) {
    const ScratchFolder folder;
    const std::string old = "the old document\r\n";
    const std::string path = folder.File("doc.kml");
    const int before = testing::OpenDescriptorCount();
    const std::pair<const char*, std::function<void()>> failures[] = {
        {"no thread", [] { threadsFail = true; }},
        {"no buffer", [] { allocationsFailFrom = std::size_t{1024} * 1024; }},
    };
    for (const auto& [what, fail] : failures) {
        for (const bool existed : {true, false}) {
            SCOPED_TRACE(std::string(what) + (existed ? ", over an old file" : ", no file before"));
            if (existed) {
                folder.Write("doc.kml", old);
            } else {
                std::filesystem::remove(path);
            }
            fail();
            EXPECT_THROW(TextOutputFile{path}, std::exception);
            threadsFail = false;
            allocationsFailFrom = std::numeric_limits<std::size_t>::max();
            EXPECT_EQ(std::filesystem::exists(path), existed);
            if (existed) {
                EXPECT_EQ(ReadBytes(path), old);
            }
            EXPECT_EQ(testing::OpenDescriptorCount(), before);
        }
    }
}

}  // namespace
}  // namespace routalo
