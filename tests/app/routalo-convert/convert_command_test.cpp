#include "app/routalo-convert/convert_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;
using testing::ReadBytes;
using testing::ScratchFolder;

constexpr std::string_view kHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\r\n";
constexpr std::string_view kPoints = "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2,0\r\n";
constexpr std::string_view kUsage =
    "Usage: routalo-convert [--time] [--merge] [--kmz] [--name NAME] [--top-speed KMH|auto] "
    "[--gap SECONDS] [--stats] LOG...\n";

struct Outcome {
    int status;
    std::string output;
    std::string errors;
};

Outcome RunCommand(const std::vector<std::string>& arguments) {
    std::ostringstream output;
    std::ostringstream errors;
    const int status = RunConvertCommand(arguments, output, errors);
    return {status, output.str(), errors.str()};
}

class ConvertCommand : public ::testing::Test {
  protected:
    ScratchFolder folder_;
    std::string good_ = folder_.Write("good.csv", std::string(kHeader) + std::string(kPoints));
};

TEST_F(ConvertCommand, ConvertsSilentlyAndSucceeds) {
    const Outcome outcome = RunCommand({good_});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(outcome.errors, "");
    const std::string document = ReadBytes(folder_.File("good.kml"));
    EXPECT_NE(document.find("<Document><name></name>"), std::string::npos);
    EXPECT_EQ(document.find("<TimeStamp>"), std::string::npos);
}

// Every form getopt_long takes: options among the LOGs, bundled, attached,
// abbreviated.
TEST_F(ConvertCommand, ReadsOptionsAsGetoptLongDoes) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--time", "--name", "Rit <1>", good_},
             {good_, "-t", "-n", "Rit <1>"},
             {"--name=Rit <1>", "--time", good_},
             {"-tn", "Rit <1>", good_},
             {"-nRit <1>", "-t", good_},
             {"--na=Rit <1>", "--ti", good_},
             {"--nam", "Rit <1>", good_, "--tim"},
         }) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        fs::remove(folder_.File("good.kml"));
        EXPECT_EQ(RunCommand(arguments).status, 0);
        const std::string document = ReadBytes(folder_.File("good.kml"));
        EXPECT_NE(document.find("<Document><name>Rit &lt;1&gt;</name>"), std::string::npos);
        EXPECT_NE(document.find("<when>7-01-01T01:01:02+00:00</when>"), std::string::npos);
    }
}

// One line per failed LOG, "routalo-convert: LOG: MESSAGE (CAUSE)", and the
// batch goes on.
TEST_F(ConvertCommand, ReportsEachFailureOnOneLineWithItsCause) {
    const auto log = [&](const char* name, std::string_view lines) {
        return folder_.Write(name, std::string(kHeader) + std::string(lines));
    };
    const std::string missing = folder_.File("missing.csv");
    const std::string empty = folder_.Write("empty.csv", "");
    const std::string other = folder_.Write("other.csv", "Lon,Lat\r\n");
    const std::string lineFeeds = folder_.Write(
        "lf.csv", std::string(kHeader.substr(0, kHeader.size() - 2)) + "\n1,2,3,1/1/7,1:1:1,0\n");
    const std::string blocked = log("blocked.csv", kPoints);
    fs::create_directory(folder_.File("blocked.kml"));
    const std::string headerOnly = log("only.csv", "");
    const std::string shortLine =
        log("short.csv", "1,2,3,1/1/7,1:1:1,0\r\n\r\n4,5,6,1/1/7,1.1.2,0\r\n");
    const std::string fast = log("fast.csv", "1,2,3,1/1/7,1:1:1,0\r\n4,5,fast,1/1/7,1:1:2,0\r\n");
    const std::string nul = log("nul.csv", "1,2,3,1/1/7,1:1:1,0\r\n4,5,1\0x,1/1/7,1:1:2,0\r\n"sv);
    const std::string huge = log("huge.csv", "1,2,3,1/1/7,1:1:1,0\r\n4,5,1e9,1/1/7,1:1:2,0\r\n");
    const std::string back = log("back.csv", "1,2,3,1/1/7,1:1:1,0\r\n4,5,-3,1/1/7,1:1:2,0\r\n");
    fs::create_directory(folder_.File("d"));
    const std::string tiny = folder_.Write("d/ab", std::string(kHeader) + std::string(kPoints));
    const std::string odd = folder_.Write("a\nb\x1b[2J\\.csv", "x\r\n");
    const std::string dir = folder_.Path().string();
    const std::string kFailed =
        "Er is tijdens het verwerken van het bestand een onbekende fout "
        "opgetreden";
    const std::string kHeaderMessage =
        "De header van het bestand komt niet overeen met het geen verwacht wordt.";

    const std::pair<std::string, std::string> cases[] = {
        {missing,
         "Het bestand " + missing + " kon niet worden geopend. (No such file or directory)"},
        {dir + "/d", "Het bestand " + dir + "/d kon niet worden geopend. (Is a directory)"},
        {empty, "Het bestand " + empty + " kon niet worden geopend. (the log is empty)"},
        {other, kHeaderMessage},
        {lineFeeds, kHeaderMessage + " (the log's lines end in bare line feeds; it needs CR LF or "
                                     "CR line ends)"},
        {blocked, "Het bestand " + dir + "/blocked.kml kon niet gemaakt worden. (Is a directory)"},
        {tiny, "Het bestand " + dir +
                   "/dkml kon niet gemaakt worden. (the document would lie outside the log's "
                   "folder)"},
        {headerOnly, kFailed + " (the log has no line after its header)"},
        {shortLine, kFailed + " (line 4: separator ':' is missing)"},
        {fast, kFailed + " (line 3: the speed \"fast\" is not a number)"},
        {nul, kFailed + " (line 3: the speed \"1\\x00x\" is not a number)"},
        {huge, kFailed + " (line 3: the speed \"1e9\" is out of range)"},
        {back, kFailed + " (line 3: the speed \"-3\" rounds below zero)"},
        {odd, "a\\nb\\x1b[2J\\\\.csv: " + kHeaderMessage},
    };
    std::vector<std::string> logs;
    std::string expected;
    for (const auto& [path, text] : cases) {
        logs.push_back(path);
        expected.append("routalo-convert: ")
            .append(path == odd ? dir + "/" : path + ": ")
            .append(text)
            .append("\n");
    }
    logs.push_back(good_);
    const Outcome outcome = RunCommand(logs);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, expected);
    EXPECT_TRUE(fs::exists(folder_.File("good.kml")));
    EXPECT_FALSE(fs::exists(dir + "/dkml"));
}

// A LOG whose document would be another LOG, or a document written before
// in the same command, is refused with nothing touched; the others convert.
TEST_F(ConvertCommand, NeverLetsOneLogOfABatchDestroyAnother) {
    const std::string content = std::string(kHeader) + std::string(kPoints);
    const std::string x = folder_.Write("x.csv", content);
    const std::string xKml = folder_.Write("x.kml", content);
    const std::string first = folder_.Write("track_001", content);
    const std::string second = folder_.Write("track_002", content + "7,8,9,1/1/7,1:1:3,0\r\n");
    const std::string trackKml = folder_.File("track_kml");
    const std::string refused = " kon niet gemaakt worden. (";

    const Outcome outcome = RunCommand({x, xKml, first, second, good_});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "routalo-convert: " + x + ": Het bestand " + xKml + refused +
                                  "it is another LOG of this command, " + xKml + ")\n" +
                                  "routalo-convert: " + xKml + ": Het bestand " + xKml + refused +
                                  "the document would overwrite the log)\n" + "routalo-convert: " +
                                  second + ": Het bestand " + trackKml + refused +
                                  "it holds the document just made from " + first + ")\n");
    EXPECT_EQ(ReadBytes(xKml), content);
    EXPECT_EQ(testing::ReadBytes(trackKml).find("7,8,0"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder_.File("good.kml")));
}

// The second point's speed, 26 km/h, in the class that the top speed gives.
TEST_F(ConvertCommand, SpreadsTheClassesUpToTheTopSpeed) {
    const std::string log = folder_.Write(
        "top.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n4,5,26,1/1/7,1:1:2,0\r\n");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "#c_24"},           {{"--top-speed", "52"}, "#c_12"},  // 12.5
        {{"-s", "130"}, "#c_5"}, {{"--top=1000"}, "#c_1"},          // 0.65
        {{"-s10.4"}, "#c_25"},
    };
    for (const auto& [options, style] : cases) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> arguments = options;
        arguments.push_back(log);
        EXPECT_EQ(RunCommand(arguments).status, 0);
        EXPECT_NE(ReadBytes(folder_.File("top.kml")).find("<styleUrl>" + style + "</styleUrl>"),
                  std::string::npos);
    }
}

// --stats prints a block for each LOG converted, none for one that fails;
// with auto, the top of the range that the trip gave. A LOG that can be read
// only once is refused for auto.
TEST_F(ConvertCommand, PrintsTheTripsNumbersOfEachLogConverted) {
    const std::string bad = folder_.Write("bad.csv", "no header\r\n");
    const Outcome outcome = RunCommand({"--stats", "--top-speed", "auto", good_, bad});
    EXPECT_EQ(outcome.status, 1);
    // The legend's rows under a top speed of 10 km/h: a class's limits are
    // (2 x class - 1) x 10 / 50 km/h.
    std::string colours;
    for (const char* row :
         {"ff000000 (0-0.6 km/h)", "ffff0000 (0.6-1.4 km/h)", "ffff7700 (1.4-2.6 km/h)",
          "ff00ff6a (2.6-3.4 km/h)", "ff00ff37 (3.4-4.2 km/h)", "ff00ffd9 (4.2-5 km/h)",
          "ff00eaff (5-6.6 km/h)", "ff0077ff (6.6-7.8 km/h)", "ff0000ff (7.8 km/h and faster)"}) {
        // 6 km/h of 10 is class 15 of 25
        const bool used = std::string_view(row).starts_with("ff00eaff");
        colours += std::string("time in colour ") + row + ": " + (used ? "1" : "0") + " s\n" +
                   "distance in colour " + row + ": " + (used ? "471.294" : "0.000") + " km\n";
    }
    EXPECT_EQ(outcome.output, "log: " + good_ +
                                  "\ndistance: 471.294 km\nelapsed time: 1 s\nmoving time: 1 s\n"
                                  "average moving speed: 1696657.46 km/h\ntop speed: 6.00 km/h\n"
                                  "top of the range: 10 km/h\n" +
                                  colours);
    EXPECT_EQ(outcome.errors,
              "routalo-convert: " + bad +
                  ": De header van het bestand komt niet overeen met het geen verwacht wordt.\n");

    const char* program = std::getenv("ROUTALO_CONVERT");
    ASSERT_NE(program, nullptr);
    const std::string errors = folder_.File("errors");
    const std::string command = "cat '" + good_ + "' | " + program +
                                " --stats -s auto /dev/stdin >'" + folder_.File("output") +
                                "' 2>'" + errors + "'";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    EXPECT_EQ(ReadBytes(folder_.File("output")), "");
    EXPECT_EQ(ReadBytes(errors),
              "routalo-convert: /dev/stdin: Het bestand /dev/stdin kon niet worden geopend. "
              "(--top-speed auto reads the LOG twice, and a pipe can be read only once)\n");
}

// The merged layout in each form of the option; with --time it has time spans.
TEST_F(ConvertCommand, WritesTheMergedLayoutWithMerge) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"--merge"}, false}, {{"-m"}, false}, {{"--me"}, false}, {{"-mt"}, true}};
    for (const auto& [options, withTime] : cases) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> arguments = options;
        arguments.push_back(good_);
        EXPECT_EQ(RunCommand(arguments).status, 0);
        const std::string document = ReadBytes(folder_.File("good.kml"));
        EXPECT_NE(document.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"),
                  std::string::npos);
        EXPECT_EQ(
            document.find("<TimeSpan><begin>7-01-01T01:01:01+00:00</begin>") != std::string::npos,
            withTime);
    }
}

// A KMZ archive instead of the document in each form of the option; two
// LOGs whose archives would be one file are told as for documents.
TEST_F(ConvertCommand, WritesAKmzArchiveWithKmz) {
    for (const auto& options : std::vector<std::vector<std::string>>{
             {"--kmz"}, {"-z"}, {"--km"}, {"-zt"}, {"--merge", "--kmz"}}) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> arguments = options;
        arguments.push_back(good_);
        EXPECT_EQ(RunCommand(arguments).status, 0);
        const std::string archive = ReadBytes(folder_.File("good.kmz"));
        EXPECT_TRUE(archive.starts_with("PK\x03\x04"));
        EXPECT_EQ(archive.substr(30, 7), "doc.kml");  // the first entry's name
        EXPECT_FALSE(fs::exists(folder_.File("good.kml")));
    }
    const std::string content = std::string(kHeader) + std::string(kPoints);
    const std::string first = folder_.Write("track_001", content);
    const std::string second = folder_.Write("track_002", content);
    const Outcome outcome = RunCommand({"-z", first, second});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "routalo-convert: " + second + ": Het bestand " +
                                  folder_.File("track_kmz") +
                                  " kon niet gemaakt worden. (it holds the document just made "
                                  "from " +
                                  first + ")\n");
}

TEST_F(ConvertCommand, TreatsEverythingAfterDoubleDashAsALog) {
    const Outcome outcome = RunCommand({"--", "--time"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              "routalo-convert: --time: Het bestand --time kon niet worden geopend. (No such file "
              "or directory)\n");
}

TEST_F(ConvertCommand, RefusesWrongUsageAsGnuProgramsWordIt) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no LOG given"},
        {{"--time"}, "no LOG given"},
        {{"--name"}, "option '--name' requires an argument"},
        {{good_, "-n"}, "option requires an argument -- 'n'"},
        {{"--colour", good_}, "unrecognized option '--colour'"},
        {{"--t", good_}, "option '--t' is ambiguous; possibilities: '--time' '--top-speed'"},
        {{"--t=5", good_}, "option '--t=5' is ambiguous; possibilities: '--time' '--top-speed'"},
        {{"-x", good_}, "invalid option -- 'x'"},
        {{"-tx", good_}, "invalid option -- 'x'"},
        {{"--time=yes", good_}, "option '--time' doesn't allow an argument"},
        {{"--bad\x1b[0m", good_}, "unrecognized option '--bad\\x1b[0m'"},
        {{good_, "-s"}, "option requires an argument -- 's'"},
        {{"--top-speed", "0", good_},
         "option '--top-speed' takes a speed in km/h from 1 to 1000 or 'auto', not '0'"},
        {{"-s1e2", good_},
         "option '--top-speed' takes a speed in km/h from 1 to 1000 or 'auto', not '1e2'"},
        {{"--top=130,5", good_},
         "option '--top-speed' takes a speed in km/h from 1 to 1000 or 'auto', not '130,5'"},
        {{"--top=Auto", good_},
         "option '--top-speed' takes a speed in km/h from 1 to 1000 or 'auto', not 'Auto'"},
        {{"--gap", "0", good_},
         "option '--gap' takes a number of seconds from 0.000001 to 1000000000, not '0'"},
        {{"-g1.", good_},
         "option '--gap' takes a number of seconds from 0.000001 to 1000000000, not '1.'"},
        {{"--gap=0.0000001", good_},
         "option '--gap' takes a number of seconds from 0.000001 to 1000000000, not "
         "'0.0000001'"},
        {{"--gap=1000000000.5", good_},
         "option '--gap' takes a number of seconds from 0.000001 to 1000000000, not "
         "'1000000000.5'"},
        {{"--gap=-5", good_},
         "option '--gap' takes a number of seconds from 0.000001 to 1000000000, not '-5'"},
        {{"--stats=1", good_}, "option '--stats' doesn't allow an argument"},
    };
    for (const auto& [arguments, reason] : cases) {
        SCOPED_TRACE(reason);
        const Outcome outcome = RunCommand(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.errors, "routalo-convert: " + reason + "\n" + std::string(kUsage) +
                                      "Try 'routalo-convert --help' for more information.\n");
        EXPECT_EQ(outcome.output, "");
    }
    EXPECT_FALSE(fs::exists(folder_.File("good.kml")));
}

TEST_F(ConvertCommand, AnswersHelpBeforeAnythingElse) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {good_, "-h"}, {"--version", "--he"}, {"--bogus", "--help"}}) {
        const Outcome help = RunCommand(arguments);
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.output.starts_with(kUsage));
        EXPECT_EQ(help.errors, "");
    }
    EXPECT_FALSE(fs::exists(folder_.File("good.kml")));
    const Outcome version = RunCommand({"-V", good_});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.output.starts_with("routalo-convert (Routalo) "));
    EXPECT_NE(version.output.find("GPLv3+"), std::string::npos);
}

// The installed program: exit statuses reach the shell, and output that
// cannot be written is an error.
TEST_F(ConvertCommand, ExitsWithTheStatusOfTheRun) {
    const char* program = std::getenv("ROUTALO_CONVERT");
    ASSERT_NE(program, nullptr);
    const std::string bad = folder_.Write("bad.csv", "no header\r\n");
    const std::string errors = folder_.File("errors");
    const auto status = [&](const std::string& arguments) {
        const int raw =
            std::system((std::string(program) + " " + arguments + " 2>'" + errors + "'").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status("'" + good_ + "'"), 0);
    EXPECT_EQ(status("'" + good_ + "' '" + bad + "'"), 1);
    EXPECT_EQ(status("--bogus"), 2);
    for (const char* answer : {"--help", "--version"}) {
        EXPECT_EQ(status(std::string(answer) + " >/dev/full"), 1) << answer;
        EXPECT_EQ(ReadBytes(errors), "routalo-convert: write error: No space left on device\n");
    }
}

}  // namespace
}  // namespace routalo
