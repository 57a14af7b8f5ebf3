#include "conversion/files/text_input_file.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ScratchFolder;

TEST(TextInputFile, RefusesMissingFilesAndDirectories) {
    const ScratchFolder folder;
    EXPECT_THROW(TextInputFile(folder.File("missing.csv")), FileError);
    EXPECT_THROW(TextInputFile(folder.Path().string()), FileError);
}

TEST(TextInputFile, ReleasesItsDescriptorOnEveryPath) {
    const ScratchFolder folder;
    const int before = testing::OpenDescriptorCount();
    {
        TextInputFile file(folder.Write("log.csv", "a\r\n"));
        file.Close();
        file.Close();  // closing twice is no failure
    }
    EXPECT_THROW(TextInputFile(folder.Path().string()), FileError);
    { TextInputFile file(folder.File("log.csv")); }
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace routalo
