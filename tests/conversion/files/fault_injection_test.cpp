// Failures that real machines have, injected into whole conversions: a disk
// that fills up part-way through the document, a log whose reading fails
// part-way, a log that is a directory, an output folder that goes away. Each
// must end in exactly one message of the right phase, with every file closed,
// no partial line in the document and the log untouched.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/files/byte_calls.h"
#include "conversion/speed_scheme.h"
#include "tests/support/sample_log.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

namespace fs = std::filesystem;
using testing::OpenDescriptorCount;
using testing::ReadBytes;
using testing::ScratchFolder;

constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
constexpr std::string_view kLineEnd = "\r\n";

// What the stand-ins for the file layer's byte calls do. The log is the only
// file read and the document the only file written through them. Reads come
// from the converting thread and writes from the document's writer thread,
// so what both touch is atomic.
struct FaultPlan {
    std::size_t readLimit = kUnlimited;   // reads fail (EIO) once this many bytes came in
    std::size_t writeLimit = kUnlimited;  // the disk is full once this many bytes went out
    bool fullDiskTakesNothing = false;    // a full disk makes write() return 0, not ENOSPC
    std::size_t chunk = kUnlimited;       // most bytes a single call moves
    bool interrupted = false;             // every other call is interrupted (EINTR)
    std::function<void()> beforeFirstRead;
    std::function<void()> beforeFirstWrite;

    std::size_t read = 0;
    std::size_t written = 0;
};

// Calls of both stand-ins, counted from the converting thread and the writer thread.
std::atomic<unsigned> calls = 0;

FaultPlan plan;

// A call that the plan interrupts, every other one.
bool Interrupt(std::error_code& error) {
    if (plan.interrupted && ++calls % 2 == 1) {
        error = std::make_error_code(std::errc::interrupted);
        return true;
    }
    return false;
}

// The system's own calls, through which the stand-ins move the bytes that
// the plan lets through.
std::ptrdiff_t SystemRead(std::intptr_t handle, char* buffer, std::size_t size) {
#ifdef _WIN32
    DWORD got = 0;
    const BOOL ok =
        ::ReadFile(reinterpret_cast<HANDLE>(handle), buffer,
                   static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30U)), &got, nullptr);
    return ok ? static_cast<std::ptrdiff_t>(got) : -1;
#else
    return ::read(static_cast<int>(handle), buffer, size);
#endif
}

std::ptrdiff_t SystemWrite(std::intptr_t handle, const char* data, std::size_t size) {
#ifdef _WIN32
    DWORD put = 0;
    const BOOL ok =
        ::WriteFile(reinterpret_cast<HANDLE>(handle), data,
                    static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30U)), &put, nullptr);
    return ok ? static_cast<std::ptrdiff_t>(put) : -1;
#else
    return ::write(static_cast<int>(handle), data, size);
#endif
}

}  // namespace

// The stand-ins, linked in place of the system's byte calls.
namespace byte_calls {

std::ptrdiff_t ReadSome(std::intptr_t handle, char* buffer, std::size_t size,
                        std::error_code& error) noexcept {
    if (plan.beforeFirstRead) {
        std::exchange(plan.beforeFirstRead, nullptr)();
    }
    if (Interrupt(error)) {
        return -1;
    }
    if (plan.read >= plan.readLimit) {
        error = std::make_error_code(std::errc::io_error);
        return -1;
    }
    size = std::min({size, plan.chunk, plan.readLimit - plan.read});
    const std::ptrdiff_t got = SystemRead(handle, buffer, size);
    if (got < 0) {
        error = std::make_error_code(std::errc::io_error);
    }
    plan.read += got > 0 ? static_cast<std::size_t>(got) : 0;
    return got;
}

std::ptrdiff_t WriteSome(std::intptr_t handle, const char* data, std::size_t size,
                         std::error_code& error) noexcept {
    if (plan.beforeFirstWrite) {
        std::exchange(plan.beforeFirstWrite, nullptr)();
    }
    if (Interrupt(error)) {
        return -1;
    }
    if (plan.written >= plan.writeLimit) {
        if (plan.fullDiskTakesNothing) {
            return 0;
        }
        error = std::make_error_code(std::errc::no_space_on_device);
        return -1;
    }
    size = std::min({size, plan.chunk, plan.writeLimit - plan.written});
    const std::ptrdiff_t put = SystemWrite(handle, data, size);
    if (put < 0) {
        error = std::make_error_code(std::errc::io_error);
    }
    plan.written += put > 0 ? static_cast<std::size_t>(put) : 0;
    return put;
}

}  // namespace byte_calls

namespace {

// The end of the last whole line within the first `size` bytes of `document`.
std::size_t LastLineEndWithin(const std::string& document, std::size_t size) {
    if (size >= document.size()) {
        return document.size();
    }
    const std::size_t at = document.rfind(kLineEnd, size < 2 ? 0 : size - 2);
    return at == std::string::npos || at + 2 > size ? 0 : at + 2;
}

class FaultInjection : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitSpeedScheme();
        log_ = new std::string(testing::SampleLog(12000));
        ScratchFolder clean;
        const std::string path = clean.Write("clean.csv", *log_);
        ConvertTrackLog(path, "Rit", true, [](const std::string& message) { FAIL() << message; });
        document_ = new std::string(ReadBytes(clean.File("clean.kml")));
    }
    static void TearDownTestSuite() {
        delete log_;
        delete document_;
    }

    void SetUp() override {
        plan = FaultPlan{};
        logPath_ = folder_.Write("rit.csv", Log());
        documentPath_ = folder_.File("rit.kml");
    }
    void TearDown() override { plan = FaultPlan{}; }

    static const std::string& Log() { return *log_; }
    // The document of the log when nothing goes wrong.
    static const std::string& Document() { return *document_; }

    // Runs the conversion with the plan in force and checks what must hold
    // on every path: at most one message, every file closed, the log
    // untouched where it now is (`logNow`, its own path unless moved).
    std::vector<std::string> Convert(const std::optional<fs::path>& logNow = std::nullopt) {
        plan.read = plan.written = 0;
        calls = 0;
        const int descriptors = OpenDescriptorCount();
        std::vector<std::string> messages;
        ConvertTrackLog(logPath_, "Rit", true,
                        [&](const std::string& message) { messages.push_back(message); });
        EXPECT_LE(messages.size(), 1U);
        EXPECT_EQ(OpenDescriptorCount(), descriptors) << "a file was left open";
        EXPECT_TRUE(ReadBytes(logNow.value_or(logPath_)) == Log()) << "the log changed";
        return messages;
    }

    static std::vector<std::string> Message(std::string_view text) { return {std::string(text)}; }

    ScratchFolder folder_;
    std::string logPath_;
    std::string documentPath_;

  private:
    static inline std::string* log_ = nullptr;
    static inline std::string* document_ = nullptr;
};

TEST_F(FaultInjection, KeepsWholeLinesWhenTheDiskFillsUpAnywhere) {
    ASSERT_GT(Document().size(), (std::size_t{2} << 20U) + 100)
        << "the document must span several flushes";
    const std::size_t head = Document().find("<Placemark>");
    const std::size_t buffer = std::size_t{1} << 20U;
    const std::vector<std::size_t> limits = {0,
                                             1,
                                             head - 1,
                                             head,
                                             head + 1,
                                             head + 100,
                                             buffer - 1,
                                             buffer,
                                             buffer + 1,
                                             2 * buffer,
                                             2 * buffer + 77,
                                             Document().size() - 2,
                                             Document().size() - 1};
    for (const bool takesNothing : {false, true}) {
        for (const std::size_t chunk : {kUnlimited, std::size_t{4096}}) {
            for (const std::size_t limit : limits) {
                SCOPED_TRACE(::testing::Message() << "full after " << limit << " bytes, chunk "
                                                  << chunk << (takesNothing ? ", write 0" : ""));
                plan = FaultPlan{};
                plan.writeLimit = limit;
                plan.fullDiskTakesNothing = takesNothing;
                plan.chunk = chunk;
                EXPECT_EQ(Convert(), Message(kConversionFailedMessage));
                const std::string document = ReadBytes(documentPath_);
                EXPECT_TRUE(document == Document().substr(0, LastLineEndWithin(Document(), limit)))
                    << "kept " << document.size() << " bytes";
            }
        }
    }
}

TEST_F(FaultInjection, FinishesWhenTheDiskHoldsExactlyTheDocument) {
    plan.writeLimit = Document().size();
    EXPECT_TRUE(Convert().empty());
    EXPECT_TRUE(ReadBytes(documentPath_) == Document());
}

TEST_F(FaultInjection, ReportsADocumentOnAFullDevice) {
    fs::create_symlink("/dev/full", documentPath_);
    EXPECT_EQ(Convert(), Message(kConversionFailedMessage));
}

TEST_F(FaultInjection, ReportsALogWhoseReadingFailsPartWay) {
    const std::size_t headerEnd = kTrackLogHeader.size() + kLineEnd.size();
    const std::size_t buffer = std::size_t{256} << 10U;
    ASSERT_GT(Log().size(), 2 * buffer) << "the log must span several reads";
    const std::vector<std::size_t> limits = {
        0,   1,          headerEnd - 2, headerEnd - 1, headerEnd,        headerEnd + 1,
        200, buffer - 1, buffer,        buffer + 1,    Log().size() - 1, Log().size()};
    for (const std::size_t chunk : {kUnlimited, std::size_t{509}}) {
        for (const std::size_t limit : limits) {
            SCOPED_TRACE(::testing::Message()
                         << "read fails after " << limit << " bytes, chunk " << chunk);
            fs::remove(documentPath_);
            plan = FaultPlan{};
            plan.readLimit = limit;
            plan.chunk = chunk;
            if (limit < headerEnd) {
                // The header line could not be read whole: the log counts
                // as not opened, and no document is made.
                EXPECT_EQ(Convert(), Message(CannotOpenMessage(logPath_)));
                EXPECT_FALSE(fs::exists(documentPath_));
                continue;
            }
            EXPECT_EQ(Convert(), Message(kConversionFailedMessage));
            const std::string document = ReadBytes(documentPath_);
            EXPECT_TRUE(document.ends_with(kLineEnd));
            EXPECT_TRUE(Document().starts_with(document)) << "kept " << document.size() << " bytes";
            EXPECT_FALSE(document.ends_with("</kml>\r\n"));
        }
    }
}

TEST_F(FaultInjection, RidesOutInterruptedAndShortReadsAndWrites) {
    // Odd sizes, so that line ends (CR here, LF there) fall across calls.
    plan.chunk = 509;
    plan.interrupted = true;
    EXPECT_TRUE(Convert().empty());
    EXPECT_TRUE(ReadBytes(documentPath_) == Document());
    EXPECT_GT(calls.load(), 2 * (Log().size() + Document().size()) / 509) << "no stand-in was used";
}

TEST_F(FaultInjection, ReportsALogThatIsADirectory) {
    const std::string directory = folder_.File("map.csv");
    fs::create_directory(directory);
    const int descriptors = OpenDescriptorCount();
    std::vector<std::string> messages;
    ConvertTrackLog(directory, "", false, [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(messages, Message(CannotOpenMessage(directory)));
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_FALSE(fs::exists(folder_.File("map.kml")));
}

TEST_F(FaultInjection, ReportsAnOutputFolderThatVanishedBeforeTheDocument) {
    // The folder is moved away once the log is open: the log stays readable
    // through its open file, but the document's folder is gone.
    const fs::path folder = folder_.File("trip");
    const fs::path moved = folder_.File("trip-moved");
    fs::create_directory(folder);
    fs::rename(logPath_, folder / "rit.csv");
    logPath_ = (folder / "rit.csv").string();
    plan.beforeFirstRead = [&] { fs::rename(folder, moved); };
    EXPECT_EQ(Convert(moved / "rit.csv"),
              Message(CannotCreateMessage((folder / "rit.kml").string())));
    EXPECT_FALSE(fs::exists(folder / "rit.kml"));
    EXPECT_FALSE(fs::exists(moved / "rit.kml"));
}

TEST_F(FaultInjection, FollowsAnOutputFolderMovedWhileTheDocumentIsWritten) {
    // Open files move with their folder: the run finishes, and the whole
    // document is where the folder went.
    const fs::path folder = folder_.File("trip");
    const fs::path moved = folder_.File("trip-moved");
    fs::create_directory(folder);
    fs::rename(logPath_, folder / "rit.csv");
    logPath_ = (folder / "rit.csv").string();
    plan.beforeFirstWrite = [&] { fs::rename(folder, moved); };
    EXPECT_TRUE(Convert(moved / "rit.csv").empty());
    EXPECT_TRUE(ReadBytes(moved / "rit.kml") == Document());
}

}  // namespace
}  // namespace routalo
