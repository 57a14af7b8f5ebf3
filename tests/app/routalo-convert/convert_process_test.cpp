// routalo-convert as real processes meet it: two runs on one document, a
// document that is a pipe whose reader goes away or pauses, a file-size
// limit, a tight limit to memory, closed standard descriptors, and signals
// in the middle of a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/support/argument_vector.h"
#include "tests/support/sample_log.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/xml_check.h"

namespace routalo::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFailed =
    "Er is tijdens het verwerken van het bestand een onbekende fout opgetreden";
constexpr std::string_view kClosingLine =
    "<colorMode>random</colorMode></Folder></Document></kml>\r\n";

// How a converter is started besides its arguments.
struct Start {
    // A limit (RLIMIT_FSIZE, RLIMIT_AS) and its value.
    std::optional<std::pair<int, rlim_t>> limit{};
    // A command that runs the converter, such as {"timeout", "1"}.
    std::vector<std::string> wrapper{};
    // Variables ("NAME=VALUE") set for the converter, and its wrapper, alone.
    std::vector<std::string> environment{};
    // Standard input and error closed, as `<&- 2>&-` leaves them.
    bool closedInputAndErrors = false;
};

// routalo-convert started with `arguments`, its standard error going to
// `errors`.
pid_t StartConverter(const std::vector<std::string>& arguments, const std::string& errors,
                     const Start& start = {}) {
    const char* program = std::getenv("ROUTALO_CONVERT");
    EXPECT_NE(program, nullptr) << "ROUTALO_CONVERT names no program";
    std::vector<std::string> texts = start.wrapper;
    texts.emplace_back(program == nullptr ? "false" : program);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = ArgumentVector(texts);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
        ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
        if (start.closedInputAndErrors) {
            ::close(STDIN_FILENO);
            ::close(STDERR_FILENO);
        }
        if (start.limit) {
            const rlimit limit{start.limit->second, start.limit->second};
            ::setrlimit(start.limit->first, &limit);
        }
        for (const std::string& variable : start.environment) {
            ::putenv(const_cast<char*>(variable.c_str()));
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status of `pid`, or -signal when a signal killed it.
int ExitStatusOf(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class ConverterProcess : public ::testing::Test {
  protected:
    // Converts `log` with `arguments` into `document` alone, as reference.
    std::string DocumentAlone(const std::vector<std::string>& arguments) {
        const std::string log = folder_.Write("alone.csv", SampleLog(kPoints));
        std::vector<std::string> all = arguments;
        all.push_back(log);
        EXPECT_EQ(ExitStatusOf(StartConverter(all, folder_.File("alone.errors"))), 0);
        return ReadBytes(folder_.File("alone.kml"));
    }

    static constexpr int kPoints = 20000;  // a document of about 4 MB
    ScratchFolder folder_;
    std::string errors_ = folder_.File("errors");
};

// Two conversions that write one document at once ("a.csv" and "a.xyz" both
// give "a.kml"): each either writes its whole document or is refused, and
// the document that stays is one run's, whole.
TEST_F(ConverterProcess, LetsOneRunAtATimeWriteADocument) {
    const std::string first = folder_.Write("a.csv", SampleLog(kPoints));
    const std::string second = folder_.Write("a.xyz", SampleLog(kPoints));
    const std::string document = folder_.File("a.kml");
    const std::string byFirst = DocumentAlone({"--name", "A"});
    const std::string bySecond = DocumentAlone({"--name", "B"});
    const std::string refused = "routalo-convert: " + second + ": Het bestand " + document +
                                " kon niet gemaakt worden. (another conversion is writing this "
                                "document)\n";
    const std::string refusedFirst =
        "routalo-convert: " + first + refused.substr(refused.find(':', 17));
    int refusals = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const pid_t a = StartConverter({"--name", "A", first}, errors_ + "-a");
        const pid_t b = StartConverter({"--name", "B", second}, errors_ + "-b");
        const int statusA = ExitStatusOf(a);
        const int statusB = ExitStatusOf(b);
        EXPECT_TRUE(statusA == 0 || ReadBytes(errors_ + "-a") == refusedFirst) << statusA;
        EXPECT_TRUE(statusB == 0 || ReadBytes(errors_ + "-b") == refused) << statusB;
        ASSERT_TRUE(statusA == 0 || statusB == 0) << "neither run wrote the document";
        refusals += (statusA != 0 ? 1 : 0) + (statusB != 0 ? 1 : 0);
        const std::string left = ReadBytes(document);
        EXPECT_TRUE(statusB == 0 ? left == byFirst || left == bySecond : left == byFirst);
        EXPECT_TRUE(statusA == 0 ? left == byFirst || left == bySecond : left == bySecond);
    }
    EXPECT_GT(refusals, 0) << "the two runs never met";
}

// A write that fails on a pipe without reader or at the file-size limit
// fails that LOG alone: its document keeps whole lines, the next LOG
// converts, and the exit status is 1.
TEST_F(ConverterProcess, FailsALogWhoseDocumentCannotBeWrittenAndGoesOn) {
    const std::string log = folder_.Write("rit.csv", SampleLog(kPoints));
    const std::string next = folder_.Write("next.csv", SampleLog(10));
    const std::string whole = DocumentAlone({});

    // The reader of a pipe reads a little and goes away.
    ::mkfifo(folder_.File("rit.kml").c_str(), 0666);
    const pid_t piped = StartConverter({log, next}, errors_);
    const int reader = ::open(folder_.File("rit.kml").c_str(), O_RDONLY);
    char some[1000];
    ASSERT_EQ(::read(reader, some, sizeof some), static_cast<ssize_t>(sizeof some));
    ::close(reader);
    EXPECT_EQ(ExitStatusOf(piped), 1);
    EXPECT_EQ(ReadBytes(errors_), "routalo-convert: " + log + ": " + std::string(kFailed) +
                                      " (write failed: Broken pipe)\n");
    EXPECT_TRUE(ReadBytes(folder_.File("next.kml")).ends_with(kClosingLine));

    // The document may not grow past 100 KiB.
    fs::remove(folder_.File("rit.kml"));
    fs::remove(folder_.File("next.kml"));
    constexpr rlim_t kLimit = rlim_t{100} * 1024;
    EXPECT_EQ(
        ExitStatusOf(StartConverter({log, next}, errors_, {.limit = {{RLIMIT_FSIZE, kLimit}}})), 1);
    EXPECT_EQ(ReadBytes(errors_), "routalo-convert: " + log + ": " + std::string(kFailed) +
                                      " (write failed: File too large)\n");
    const std::string kept = ReadBytes(folder_.File("rit.kml"));
    EXPECT_LE(kept.size(), kLimit);
    EXPECT_GT(kept.size(), kLimit - 1000);
    EXPECT_TRUE(kept.ends_with("\r\n"));
    EXPECT_TRUE(whole.starts_with(kept));
    EXPECT_TRUE(ReadBytes(folder_.File("next.kml")).ends_with(kClosingLine));
}

// An interrupt, terminate or hang-up signal in the middle of a document
// stops the run at a line's end, with one line said, no further LOG, and
// 128 + the signal as the exit status. The document is a pipe, so that the
// run is surely in the middle of it when the signal comes.
TEST_F(ConverterProcess, StopsAtALinesEndOnASignal) {
    const std::string log = folder_.Write("rit.csv", SampleLog(kPoints));
    const std::string next = folder_.Write("next.csv", SampleLog(10));
    const std::string whole = DocumentAlone({"--time"});
    const std::pair<int, const char*> signals[] = {
        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
    for (const auto& [signal, name] : signals) {
        SCOPED_TRACE(name);
        fs::remove(folder_.File("rit.kml"));
        ::mkfifo(folder_.File("rit.kml").c_str(), 0666);
        const pid_t converter = StartConverter({"--time", log, next}, errors_);
        const int reader = ::open(folder_.File("rit.kml").c_str(), O_RDONLY);
        std::string received;
        char buffer[65536];
        ssize_t got = 0;
        while (received.size() < 200'000 && (got = ::read(reader, buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
        ::kill(converter, signal);
        while ((got = ::read(reader, buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(reader);
        EXPECT_EQ(ExitStatusOf(converter), 128 + signal);
        EXPECT_EQ(ReadBytes(errors_),
                  "routalo-convert: " + log + ": conversion interrupted by " + name + "\n");
        EXPECT_TRUE(received.ends_with("\r\n"));
        EXPECT_LT(received.size(), whole.size());
        EXPECT_TRUE(whole.starts_with(received)) << "kept " << received.size() << " bytes";
        EXPECT_FALSE(fs::exists(folder_.File("next.kml")));
    }
}

// Opens the FIFO `path` for writing once the converter opens it for
// reading, and writes `bytes` to it; -1 when no reader came in time.
int FeedFifo(const std::string& path, std::string_view bytes) {
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 500; ++tries) {
        fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            ::usleep(10'000);
        }
    }
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, 0);
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    return fd;
}

// One signal, as timeout, systemd and kill send it, ends a run that waits
// in an open or a read: exactly one line names the LOG it cut short, no
// further LOG is made, and timeout says 124. What a stopped document keeps
// is whole lines. A run that ignored the signal is killed 10 s later, and
// timeout then says 137.
//
// In the build with AddressSanitizer, these runs skip the leak scan at exit:
// the scan stops the program with ptrace, whose SIGSTOP a SIGCONT discards,
// and timeout sends SIGCONT right after its signal. One that comes as the
// scan begins leaves the scan waiting for a stop that never comes, for ever.
// The stops that StopsAtALinesEndOnASignal sends come without SIGCONT, and
// are scanned.
TEST_F(ConverterProcess, StopsOnOneSignalWhereverItWaits) {
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    const std::string noLeakScan =
        "ASAN_OPTIONS=" +
        (sanitizerOptions == nullptr ? std::string() : sanitizerOptions + std::string(":")) +
        "detect_leaks=0";
    const std::string log = SampleLog(kPoints);
    const std::string whole = DocumentAlone({});
    const std::string someLines = log.substr(0, log.find("\r\n", 40'000) + 2);
    struct Case {
        const char* waitsIn;
        const char* fifo;  // the FIFO in the folder
        std::string fed;   // what the log's writer gives before it pauses
        std::vector<std::string> logs;
        std::vector<std::string> options{};
    };
    const Case cases[] = {
        {"the open of a document that nobody reads", "rit.kml", "", {"rit.csv", "next.csv"}},
        {"the header of a log whose writer paused",
         "slow.csv",
         "Longitude,Lat",
         {"slow.csv", "next.csv"}},
        {"the middle of the only log, whose writer paused", "slow.csv", someLines, {"slow.csv"}},
        // An archive unfinished is no archive: none is left.
        {"the middle of a log going into a KMZ archive",
         "slow.csv",
         someLines,
         {"slow.csv"},
         {"--kmz"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.waitsIn);
        const ScratchFolder folder;
        folder.Write("rit.csv", log);
        folder.Write("next.csv", SampleLog(10));
        ::mkfifo(folder.File(test.fifo).c_str(), 0666);
        std::vector<std::string> logs = test.options;
        for (const std::string& name : test.logs) {
            logs.push_back(folder.File(name));
        }
        const auto started = std::chrono::steady_clock::now();
        const pid_t converter = StartConverter(
            logs, errors_, {.wrapper = {"timeout", "-k", "10", "1"}, .environment = {noLeakScan}});
        const int feeder = test.fed.empty() ? -1 : FeedFifo(folder.File(test.fifo), test.fed);
        EXPECT_EQ(ExitStatusOf(converter), 124);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
        if (feeder >= 0) {
            ::close(feeder);
        }
        EXPECT_EQ(ReadBytes(errors_), "routalo-convert: " + folder.File(test.logs.front()) +
                                          ": conversion interrupted by SIGTERM\n");
        EXPECT_FALSE(fs::exists(folder.File("next.kml")));
        EXPECT_FALSE(fs::exists(folder.File("slow.kmz")));
        if (fs::exists(folder.File("slow.kml"))) {
            const std::string kept = ReadBytes(folder.File("slow.kml"));
            EXPECT_TRUE(kept.ends_with("\r\n"));
            EXPECT_TRUE(whole.starts_with(kept)) << "kept " << kept.size() << " bytes";
        }
    }
}

// A LOG is opened once, to be converted, also in a batch whose guard must
// know every LOG first: a FIFO's writer, which writes the log once, meets one
// reader, and a second open would wait for a writer that never comes.
TEST_F(ConverterProcess, OpensEachLogOnce) {
    const std::string log = SampleLog(10);
    folder_.Write("first.csv", log);
    ::mkfifo(folder_.File("fifo.csv").c_str(), 0666);
    const pid_t converter = StartConverter({folder_.File("first.csv"), folder_.File("fifo.csv")},
                                           errors_, {.wrapper = {"timeout", "10"}});
    const int feeder = FeedFifo(folder_.File("fifo.csv"), log);
    ASSERT_GE(feeder, 0) << "the converter never opened the FIFO";
    ::close(feeder);
    EXPECT_EQ(ExitStatusOf(converter), 0);
    EXPECT_EQ(ReadBytes(errors_), "");
    EXPECT_EQ(ReadBytes(folder_.File("fifo.kml")), ReadBytes(folder_.File("first.kml")));
}

// The CPU time that process `pid` has used so far, in clock ticks.
long CpuTicksOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // from the state on
    std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
    return field.size() > 12 ? std::stol(field[11]) + std::stol(field[12]) : -1;  // utime + stime
}

// Started with standard input and error closed, the converter opens
// /dev/null on them, so that no file or pipe of its own takes their
// numbers and the failure of a first LOG is said to nobody; and it sleeps
// while the reader of its document pauses, until a signal stops it.
TEST_F(ConverterProcess, KeepsItsOwnDescriptorsClearOfClosedStandardOnes) {
    const std::string log = folder_.Write("rit.csv", SampleLog(kPoints));
    ::mkfifo(folder_.File("rit.kml").c_str(), 0666);
    const pid_t converter =
        StartConverter({folder_.File("missing.csv"), log}, errors_, {.closedInputAndErrors = true});
    const int reader = ::open(folder_.File("rit.kml").c_str(), O_RDONLY);
    char some[1000];
    ASSERT_EQ(::read(reader, some, sizeof some), static_cast<ssize_t>(sizeof some));
    // The reader pauses; the converter fills its buffers and the pipe, and waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const int standard : {STDIN_FILENO, STDERR_FILENO}) {
        std::error_code error;
        const std::string fd =
            "/proc/" + std::to_string(converter) + "/fd/" + std::to_string(standard);
        EXPECT_EQ(fs::read_symlink(fd, error).string(), "/dev/null") << fd;
    }
    const long before = CpuTicksOf(converter);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long waited = CpuTicksOf(converter) - before;
    EXPECT_GE(before, 0);
    EXPECT_LT(waited, ::sysconf(_SC_CLK_TCK) / 10) << "ticks of CPU in 1 s of waiting";
    ::kill(converter, SIGTERM);
    EXPECT_EQ(ExitStatusOf(converter), 128 + SIGTERM);
    ::close(reader);
}

// Under a limit to its memory that is too tight somewhere, a run either
// converts, or fails before it empties the old document, or keeps whole
// lines; a document made whole is never reported as a failure. Where there
// was no document, a run that fails before converting leaves none.
TEST_F(ConverterProcess, NeverLosesTheOldDocumentForWantOfMemory) {
    constexpr rlim_t kMiB = rlim_t{1024} * 1024;
    rlim_t lowest = 4 * kMiB;  // the lowest limit at which the program starts at all
    while (lowest <= 256 * kMiB &&
           ExitStatusOf(StartConverter({"--version"}, errors_, {.limit = {{RLIMIT_AS, lowest}}})) !=
               0) {
        lowest += kMiB;
    }
    if (lowest > 256 * kMiB) {
        GTEST_SKIP() << "this build does not start under a limit to its address space";
    }
    const std::string log = folder_.Write("rit.csv", SampleLog(kPoints));
    const std::string document = folder_.File("rit.kml");
    const std::string whole = DocumentAlone({});
    const std::string old = "an older document\r\n";
    int failures = 0;
    int successes = 0;
    for (rlim_t limit = lowest; successes < 3 && limit < lowest + 64 * kMiB; limit += kMiB / 4) {
        SCOPED_TRACE(limit);
        bool converted = true;
        for (const bool hadOne : {true, false}) {
            SCOPED_TRACE(hadOne ? "over an older document" : "no document before");
            if (hadOne) {
                folder_.Write("rit.kml", old);
            } else {
                fs::remove(document);
            }
            const int status =
                ExitStatusOf(StartConverter({log}, errors_, {.limit = {{RLIMIT_AS, limit}}}));
            const bool left = fs::exists(document);
            const std::string kept = left ? ReadBytes(document) : std::string();
            const std::string said = ReadBytes(errors_);
            if (kept == whole) {
                EXPECT_EQ(status, 0) << said;
                EXPECT_EQ(said, "");
                continue;
            }
            converted = false;
            ++failures;
            EXPECT_EQ(status, 1);
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
            EXPECT_TRUE(left || !hadOne);
            if (left && (kept != old || !hadOne)) {  // this run's document
                EXPECT_NE(said.find(kFailed), std::string::npos) << said;
                EXPECT_TRUE(kept.ends_with("\r\n"));
                EXPECT_TRUE(whole.starts_with(kept)) << "kept " << kept.size() << " bytes";
            }
        }
        successes = converted ? successes + 1 : 0;
    }
    EXPECT_EQ(successes, 3) << "no limit let the conversion through";
    EXPECT_GT(failures, 0) << "no limit was tight enough to fail";
}

}  // namespace
}  // namespace routalo::testing
