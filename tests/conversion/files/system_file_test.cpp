// What the file layer makes of the names and files of the system it runs
// on: one file by any of its names, paths of any length and in any script,
// and on Windows the names that Windows takes for devices.
#include "conversion/files/system_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "conversion/errors.h"
#include "conversion/files/text_input_file.h"
#include "conversion/files/text_output_file.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

// Every byte of `log` from where it stands to its end.
std::string RestOf(TextInputFile& log) {
    std::string bytes;
    while (!log.AtEnd()) {
        const std::string_view buffered = log.Buffered();
        bytes.append(buffered);
        log.Skip(buffered.size());
    }
    return bytes;
}

// A document is written, and read back, under a path longer than the 260
// characters of Windows' old limit, with letters of any script.
TEST(SystemFile, WritesPathsOfAnyLengthAndScript) {
    const ScratchFolder folder;
    std::filesystem::path deep = folder.Path();
    for (int i = 0; i < 4; ++i) {
        deep /= std::string(80, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    const std::string path = (deep / "rit \xC3\xAB \xE2\x82\xAC \xF0\x9F\x9A\xB2.kml").string();
    ASSERT_GT(path.size(), 330U);
    TextOutputFile document(path);
    document.WriteLine("kept");
    document.Close();
    TextInputFile log(path);
    EXPECT_EQ(RestOf(log), "kept\r\n");
}

#ifdef _WIN32
// The log by another name is the log, as a device and an inode tell it on
// POSIX systems: a hard link, and the same name in other letters.
TEST(SystemFile, KnowsAFileByAnyOfItsNames) {
    const ScratchFolder folder;
    const std::string log = folder.Write("rit.kml", "the log\r\n");
    std::filesystem::create_hard_link(log, folder.File("hard.kml"));
    const std::vector<std::string> names = {log, folder.File("hard.kml"), folder.File("RIT.KML")};
    const FileIdentity identity = TextInputFile(log).Identity();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(IdentityOfFile(name), identity);
        EXPECT_THROW(TextOutputFile(name,
                                    [&](const FileIdentity& file) {
                                        return file == identity
                                                   ? std::optional<std::string>("the log")
                                                   : std::nullopt;
                                    }),
                     FileRefused);
    }
    EXPECT_EQ(testing::ReadBytes(log), "the log\r\n");
}

// Windows reserves these names for devices, whatever their extension: a log
// of such a name is not opened where that would open the device (a serial
// port waits for ever), and a document is refused even where "\\?\" makes
// the name a file, which Explorer could not delete.
TEST(SystemFile, RefusesNamesThatWindowsReservesForDevices) {
    const ScratchFolder folder;
    const std::pair<std::string, std::string> cases[] = {
        {"nul.kml", "NUL"},
        {"NUL", "NUL"},
        {"con.csv", "CON"},
        {"Aux.kml", "AUX"},
        {"prn", "PRN"},
        {"com1.kml", "COM1"},
        {"LPT9.csv", "LPT9"},
        {"nul .csv", "NUL"},
        {"com\xC2\xB9.csv", "COM\xC2\xB9"},
        {"Lpt\xC2\xB3.kml", "LPT\xC2\xB3"},
        {"conin$.csv", "CONIN$"},
    };
    for (const auto& [name, device] : cases) {
        SCOPED_TRACE(name);
        const std::string cause = "Windows reserves the name " + device + " for a device";
        const std::string path = folder.File(name);
        std::string fileSpace = "\\\\?\\" + path;  // the folder's path is absolute
        std::replace(fileSpace.begin(), fileSpace.end(), '/', '\\');
        try {
            TextInputFile log(path);
            ADD_FAILURE() << "read as a log";
        } catch (const FileRefused& refusal) {
            EXPECT_EQ(refusal.what(), cause);
        }
        for (const std::string& document : {path, fileSpace}) {
            try {
                TextOutputFile refused(document);
                ADD_FAILURE() << "written as a document: " << document;
            } catch (const FileRefused& refusal) {
                EXPECT_EQ(refusal.what(), cause);
            }
        }
    }
    for (const char* name : {"nulled.kml", "com10.kml", "lpt.kml", "com\xC2\xB4.kml"}) {
        TextOutputFile(folder.File(name)).Close();
    }
}
// A document has one writer: a second one, by any name, is refused with the
// first one's lines left alone; once closed it is free again.
TEST(SystemFile, LetsOneWriterAtATimeHoldADocument) {
    const ScratchFolder folder;
    const std::string path = folder.File("doc.kml");
    TextOutputFile first(path);
    first.WriteLine("first");
    for (const std::string& name : {path, folder.File("DOC.KML")}) {
        try {
            TextOutputFile second(name);
            ADD_FAILURE() << "a second writer of " << name;
        } catch (const FileRefused& refusal) {
            EXPECT_STREQ(refusal.what(), "another conversion is writing this document");
        }
    }
    first.Close();
    EXPECT_EQ(testing::ReadBytes(path), "first\r\n");
    TextOutputFile(path).Close();
}

// A pipe whose reader has gone fails the write, as a full disk does, and the
// run reports it instead of waiting.
TEST(SystemFile, FailsAWriteToAPipeWhoseReaderIsGone) {
    const std::string name = "\\\\.\\pipe\\routalo-test-" + std::to_string(::GetCurrentProcessId());
    const std::wstring wide(name.begin(), name.end());
    const HANDLE reader = ::CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1,
                                             4096, 4096, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    TextOutputFile document(name);
    ::CloseHandle(reader);
    document.WriteLine("a line that no one reads");
    EXPECT_THROW(document.Close(), FileError);
}

// A log from a pipe ends where its server leaves, whether it closes its end
// alone (the reader's next read fails with ERROR_BROKEN_PIPE) or first waits
// until every byte is read and disconnects, as Windows' documentation shows
// a server (ERROR_PIPE_NOT_CONNECTED).
TEST(SystemFile, ReadsALogFromAPipeToWhereItsServerLeaves) {
    for (const bool disconnects : {false, true}) {
        SCOPED_TRACE(disconnects ? "disconnects" : "closes");
        const std::string name = "\\\\.\\pipe\\routalo-log-" +
                                 std::to_string(::GetCurrentProcessId()) +
                                 (disconnects ? "-disconnects" : "-closes");
        const std::wstring wide(name.begin(), name.end());
        const HANDLE server =
            ::CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               4096, 4096, 0, nullptr);
        ASSERT_NE(server, INVALID_HANDLE_VALUE);
        TextInputFile log(name);
        std::thread serving([&] {
            const std::string_view bytes = "first\r\nlast";
            DWORD put = 0;
            ::WriteFile(server, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
            if (disconnects) {
                ::FlushFileBuffers(server);  // until the reader has read every byte
                ::DisconnectNamedPipe(server);
            }
            ::CloseHandle(server);
        });
        std::string read;
        try {
            read = RestOf(log);
        } catch (const FileError& error) {
            read = error.what();
        }
        serving.join();
        EXPECT_EQ(read, "first\r\nlast");
    }
}
#endif

}  // namespace
}  // namespace routalo
