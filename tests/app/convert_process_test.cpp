// routalo-convert as real processes meet it: two runs on one document, a
// document that is a pipe whose reader goes away, a file-size limit, and
// signals in the middle of a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/argument_vector.h"
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

// routalo-convert started with `arguments`, its standard error going to
// `errors`, and with a file-size limit when one is given.
pid_t StartConverter(const std::vector<std::string>& arguments, const std::string& errors,
                     std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    const char* program = std::getenv("ROUTALO_CONVERT");
    EXPECT_NE(program, nullptr) << "ROUTALO_CONVERT names no program";
    std::vector<std::string> texts = {program == nullptr ? "false" : program};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = ArgumentVector(texts);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, STDERR_FILENO);
        if (fileSizeLimit) {
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execv(argv[0], argv.data());
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
    EXPECT_EQ(ExitStatusOf(StartConverter({log, next}, errors_, kLimit)), 1);
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

}  // namespace
}  // namespace routalo::testing
