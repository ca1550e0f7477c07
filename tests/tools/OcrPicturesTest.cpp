// What kelsor-ocr takes from its arguments, as a process against a real
// kelsor-server: a FIFO named on the command line is refused at once (a
// plain open would wait for a writer for ever), a folder is walked in a file
// manager's order, and picture forms once called damaged are read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "FolderOrder.h"
#include "PictureForms.h"
#include "ToolsTestSupport.h"

namespace kelsor {
namespace {

class OcrPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_fixture.StartSignedIn(error)) << error;
    }
    int Ocr(const std::string& arguments, std::string& output) const {
        return m_fixture.Run("kelsor-ocr", arguments, output);
    }

    test::TempFolder m_folder;
    tooltest::ToolsFixture m_fixture{m_folder};
};

TEST_F(OcrPicturesTest, FifoFolderOrderAndPictureForms) {
    const std::string fifo = m_folder.file("pipe.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string output;
    EXPECT_EQ(1, Ocr("'" + fifo + "'", output));
    EXPECT_NE(output.find("pipe.png: not a regular file"), std::string::npos) << output;

    // Each picture of the ordered tree fails (it holds no picture), which
    // names it in the order it was taken; the FIFO in the tree is passed over.
    const std::string tree = m_folder.file("tree/");
    test::WriteFileManagerOrderTree(tree, "not a picture");
    ASSERT_EQ(::mkfifo((tree + "0.png").c_str(), 0600), 0);
    EXPECT_EQ(1, Ocr("'" + tree + "'", output));
    std::vector<std::string> taken;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(tree);
        if (line.rfind("[", 0) == 0 && at != std::string::npos) {
            taken.push_back(line.substr(at + tree.size(), line.find(": ") - at - tree.size()));
        }
    }
    EXPECT_EQ(taken, test::FileManagerOrder()) << output;

    const std::string forms = m_folder.file("forms/");
    std::filesystem::create_directories(forms);
    std::string error;
    ASSERT_TRUE(test::WritePictureForms(forms, error)) << error;
    const char* onceDamaged[] = {"png-rgb16.png", "png-rgba16.png", "bmp-8bit.bmp",
                                 "tiff-16bit.tif"};
    std::string arguments;
    for (const char* name : onceDamaged) {
        arguments += " '" + forms + name + "'";
    }
    EXPECT_EQ(0, Ocr(arguments, output)) << output;
    for (const char* name : onceDamaged) {
        EXPECT_NE(output.find(std::string(name) + " <==\n" + test::kPictureFormText + "\n"),
                  std::string::npos)
            << name << " in\n"
            << output;
    }
}

}  // namespace
}  // namespace kelsor
