#include "app/convert_command.h"

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

using testing::ReadBytes;
using testing::ScratchFolder;

constexpr std::string_view kHeader =
    "Longitude,Latitude,Speed(kilometer),DD/MM/YY,HH:MM:SS,Distance(meter)\r\n";

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
    std::string good_ = folder_.Write(
        "good.csv", std::string(kHeader) + "1,2,3,1/1/7,1:1:1,0\r\n4,5,6,1/1/7,1:1:2,0\r\n");
    std::string bad_ = folder_.Write("bad.csv", "no header\r\n");
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

TEST_F(ConvertCommand, PassesTheTimeChoiceAndTheName) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--time", "--name", "Rit <1>", good_},
             {good_, "-t", "-n", "Rit <1>"},
             {"--name=Rit <1>", "--time", good_},
         }) {
        EXPECT_EQ(RunCommand(arguments).status, 0);
        const std::string document = ReadBytes(folder_.File("good.kml"));
        EXPECT_NE(document.find("<Document><name>Rit &lt;1&gt;</name>"), std::string::npos);
        EXPECT_NE(document.find("<when>7-01-01T01:01:02+00:00</when>"), std::string::npos);
    }
}

TEST_F(ConvertCommand, ReportsEachFailureAndGoesOn) {
    const std::string missing = folder_.File("missing.csv");
    const Outcome outcome = RunCommand({bad_, missing, good_});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              "routalo-convert: De header van het bestand komt niet overeen met het geen verwacht "
              "wordt.\n"
              "routalo-convert: Het bestand " +
                  missing + " kon niet worden geopend.\n");
    EXPECT_TRUE(std::filesystem::exists(folder_.File("good.kml")));
}

TEST_F(ConvertCommand, TreatsEverythingAfterDoubleDashAsALog) {
    const Outcome outcome = RunCommand({"--", "--time"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "routalo-convert: Het bestand --time kon niet worden geopend.\n");
}

TEST_F(ConvertCommand, RefusesWrongUsage) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {}, {"--time"}, {"--name"}, {good_, "--name"}, {"--colour", good_}, {"-x", good_}}) {
        const Outcome outcome = RunCommand(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.errors.find("Usage: routalo-convert [--time] [--name NAME] LOG..."),
                  std::string::npos);
        EXPECT_EQ(outcome.output, "");
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.File("good.kml")));
}

TEST_F(ConvertCommand, AnswersHelpAndVersion) {
    const Outcome help = RunCommand({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: routalo-convert [--time] [--name NAME] LOG...\n"));
    const Outcome version = RunCommand({"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.output.starts_with("routalo-convert "));
}

// The installed program: exit statuses reach the shell.
TEST_F(ConvertCommand, ExitsWithTheStatusOfTheRun) {
    const char* program = std::getenv("ROUTALO_CONVERT");
    ASSERT_NE(program, nullptr);
    const auto status = [&](const std::string& arguments) {
        const int raw =
            std::system((std::string(program) + " " + arguments + " 2>/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status("'" + good_ + "'"), 0);
    EXPECT_EQ(status("'" + good_ + "' '" + bad_ + "'"), 1);
    EXPECT_EQ(status("--bogus"), 2);
}

}  // namespace
}  // namespace routalo
