// kelsor-ocr as a process against a real kelsor-server (Tesseract), signed in
// by the demo account's session saved the way scripts/run.sh saves it.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <functional>
#include <thread>

#include "CodePictures.h"
#include "MakePdf.h"
#include "RenderText.h"
#include "ToolsTestSupport.h"

namespace kelsor {
namespace {

namespace fs = std::filesystem;
using tooltest::ToolsFixture;

struct OcrRun {
    int status = -1;
    std::string out;
    std::string err;
};

class OcrCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_fixture.StartSignedIn(error)) << error;
        fs::create_directories(Work());
    }

    // kelsor-ocr with `arguments`, run in the work folder, after `prefix`
    // (environment settings or a wrapper).
    // With `terminal`, both go through a pseudo-terminal into `out`.
    OcrRun Ocr(const std::string& arguments, const std::string& prefix = "",
               bool terminal = false) const {
        OcrRun run;
        const std::string out = m_folder.file("out.txt");
        const std::string err = m_folder.file("err.txt");
        std::string command = prefix + " '" + Program() + "' " + arguments;
        if (terminal)
            command = "script -qec \"" + command + "\" /dev/null";
        run.status =
            test::Shell("cd '" + Work() + "' && " + command + " >'" + out + "' 2>'" + err + "'");
        run.out = test::ReadFile(out);
        run.err = test::ReadFile(err);
        return run;
    }
    std::string Program() const { return std::string(KELSOR_PROGRAM_FOLDER) + "kelsor-ocr"; }
    std::string Work(const std::string& name = "") const { return m_folder.file("work/" + name); }
    void Picture(const std::string& name, const std::vector<QString>& lines) const {
        fs::create_directories(fs::path(Work(name)).parent_path());
        ASSERT_TRUE(test::LargeTextPicture(lines).save(QString::fromStdString(Work(name))));
    }

    test::TempFolder m_folder;
    ToolsFixture m_fixture{m_folder};
};

TEST_F(OcrCommandTest, ExitCodesOutputsAndResultFiles) {
    Picture("one.png", {QStringLiteral("HELLO"), QStringLiteral("WORLD")});
    test::WriteFile(Work("notes.txt"), "not a picture");
    test::WriteFile(Work("broken.png"), "no picture signature");
    fs::create_directories(m_folder.file("nobody"));
    fs::create_directories(Work("empty"));

    struct Case {
        const char* what;
        std::string arguments;
        std::string prefix;
        bool terminal;
        int status;
        std::string out;                // exact, or ...
        std::vector<std::string> outs;  // ... parts of standard output
        std::vector<std::string> errs;  // parts of standard error
    };
    const std::string nobody = "XDG_DATA_HOME='" + m_folder.file("nobody") + "'";
    // A session the service never handed out.
    const std::string stale = "XDG_DATA_HOME='" + m_folder.file("stale") + "'";
    ASSERT_EQ(0, test::Shell("printf 'userid 1\\ntoken 0badc0de\\n' | " + stale + " '" +
                             KELSOR_PROGRAM_FOLDER + "KelsorOCR' --write-session >/dev/null"));
    const Case cases[] = {
        {"help", "--help", "", false, 0, "", {"Usage: kelsor-ocr", "--txt", "Exit status"}, {}},
        {"nothing named", "", "", false, 2, "", {}, {"no FILE or FOLDER", "--help"}},
        {"unknown option", "--bogus one.png", "", false, 2, "", {}, {"unknown option --bogus"}},
        // One picture: only its text on standard output (no diagnostics of
        // the cloud client), nothing on standard error.
        {"one picture", "one.png", "", false, 0, "HELLO\nWORLD\n", {}, {}},
        // Lines run together: one line on standard output.
        {"edit priority", "--edit one.png", "", false, 0, "", {"HELLO", "WORLD"}, {}},
        {"failures named",
         "one.png missing.png notes.txt broken.png empty",
         "",
         false,
         1,
         "",
         {"==> one.png <==\nHELLO\nWORLD\n"},
         {"[1/5] one.png", "missing.png: no such file or folder", "notes.txt: unsupported format",
          "broken.png: damaged", "empty: no pictures", "4 of 5 pictures failed"}},
        {"not signed in", "one.png", nobody, false, 3, "", {}, {"not signed in", "desktop client"}},
        {"session refused", "one.png", stale, false, 3, "", {}, {"not signed in", "登录信息无效"}},
        {"service down",
         "one.png",
         "KELSOR_API_HOST=api.kelsor.localhost:1",
         false,
         1,
         "",
         {},
         {"cannot be reached"}},
        // A terminal on standard error gets a bar redrawn in place.
        {"progress bar",
         "notes.txt broken.png",
         "",
         true,
         1,
         "",
         {"\r[", "] 2/2 broken.png", "\x1b[K"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OcrRun run = Ocr(c.arguments, c.prefix, c.terminal);
        EXPECT_EQ(c.status, run.status) << run.out << run.err;
        if (!c.out.empty()) {
            EXPECT_EQ(c.out, run.out);
        }
        for (const std::string& part : c.outs)
            EXPECT_NE(run.out.find(part), std::string::npos) << part << " in\n" << run.out;
        for (const std::string& part : c.errs)
            EXPECT_NE(run.err.find(part), std::string::npos) << part << " in\n" << run.err;
        if (c.errs.empty() && c.prefix.empty()) {
            EXPECT_EQ("", run.err);
        }
        if (c.arguments.rfind("--edit", 0) == 0) {
            EXPECT_EQ(1, std::count(run.out.begin(), run.out.end(), '\n')) << run.out;
        }
    }
}

// The service on its default engine, which reads single small lines.
class OcrLineTest : public OcrCommandTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_fixture.StartSignedIn(error, {"--engines", "1"})) << error;
        fs::create_directories(Work());
    }
};

TEST_F(OcrLineTest, ALineCutTo14PxIsReadAndPlacedInThePdf) {
    // The service takes no side under 15 px; kelsor-ocr grows the picture.
    ASSERT_TRUE(test::LineCutToHeight(QStringLiteral("KELSOR 2024"), 13, 14)
                    .save(QString::fromStdString(Work("line.png"))));
    OcrRun run = Ocr("line.png");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(run.out.find("KELSOR"), std::string::npos) << run.out;
    run = Ocr("--pdf line.pdf line.png");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(test::FileExists(Work("line.pdf")));
}

TEST_F(OcrLineTest, AVerticalPoemIsReadColumnByColumnFromTheRight) {
    // A title across and four columns, their punctuation in vertical forms.
    const std::vector<QString> columns = {
        QStringLiteral("床前明月光，"), QStringLiteral("疑是地上霜。"),
        QStringLiteral("举头望明月，"), QStringLiteral("低头思故乡。")};
    ASSERT_TRUE(test::VerticalTextPicture(QStringLiteral("静夜思"), columns, 40)
                    .save(QString::fromStdString(Work("poem.png"))));
    // 格式优先: the title, then one column a line.
    OcrRun run = Ocr("poem.png");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("静夜思\n床前明月光，\n疑是地上霜。\n举头望明月，\n低头思故乡。\n", run.out);
    // 编辑优先: the title alone, the columns of the poem run together.
    run = Ocr("--edit poem.png");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(run.out.find("静夜思"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("床前明月光，疑是地上霜。举头望明月，低头思故乡。"), std::string::npos)
        << run.out;
}

TEST_F(OcrCommandTest, TxtFilesAreNamedAsTheBatchPageNamesThem) {
    Picture("batch/scan.jpg", {QStringLiteral("ALPHA")});
    Picture("batch/scan.png", {QStringLiteral("BRAVO")});
    Picture("batch/sub/scan.png", {QStringLiteral("CHARLIE")});
    test::WriteFile(Work("batch/notes.md"), "not a picture, passed over");
    const OcrRun run = Ocr("--txt batch/");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", run.out);
    EXPECT_NE(run.err.find("[3/3] batch/sub/scan.png"), std::string::npos) << run.err;
    // The folder of the first picture holds every result; different pictures
    // of the same name are numbered; CR LF between lines as on the page.
    EXPECT_EQ("ALPHA", test::ReadFile(Work("batch/scan.txt")));
    EXPECT_EQ("BRAVO", test::ReadFile(Work("batch/scan (2).txt")));
    EXPECT_EQ("CHARLIE", test::ReadFile(Work("batch/scan (3).txt")));
    EXPECT_FALSE(test::FileExists(Work("batch/sub/scan.txt")));
    // No work picture is left behind in the data folder.
    for (const auto& entry : fs::directory_iterator(m_fixture.dataFolder()))
        EXPECT_EQ(entry.path().filename().string().find("kelsor-ocr-"), std::string::npos);
}

TEST_F(OcrCommandTest, RunsAtOnceEachSignInWithTheTokenTheOtherSaved) {
    // Each sign-in replaces the session's token: runs that took the same old
    // token at the same time would leave all but one signed out.
    test::WriteFile(Work("notes.txt"), "not a picture");
    std::vector<std::thread> runs;
    std::vector<int> statuses(3, -1);
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        runs.emplace_back([&, i] {
            statuses[i] =
                test::Shell("cd '" + Work() + "' && '" + Program() + "' notes.txt >/dev/null 2>&1");
        });
    }
    for (std::thread& run : runs)
        run.join();
    for (int status : statuses)
        EXPECT_EQ(1, status);  // signed in; only the file failed
    EXPECT_EQ(1, Ocr("notes.txt").status);
}

// Each recognition joins the history; --history finds them again, newest
// first, without signing in.
TEST_F(OcrCommandTest, HistoryListsWhatWasRecognisedNewestFirst) {
    Picture("first.png", {QStringLiteral("INVOICE 2024")});
    Picture("second.png", {QStringLiteral("MEETING NOTES")});
    ASSERT_EQ(0, Ocr("first.png").status);
    ASSERT_EQ(0, Ocr("--txt second.png").status);
    // A PDF: its scanned page is recognised and kept, its text page is not.
    ASSERT_TRUE(test::WritePdf(
        Work("book.pdf"),
        {{{"Contents"}, {}}, {{}, test::LargeTextPicture({QStringLiteral("SCANNED PAGE")})}}));
    ASSERT_EQ(0, Ocr("book.pdf").status);
    // A recognition while recording is off leaves no entry.
    test::WriteFile(m_fixture.dataFolder() + "config.ini", "[KSOCRInfo]\nhistory=0\n");
    ASSERT_EQ(0, Ocr("first.png").status);
    m_fixture.StopServer();

    struct Case {
        const char* arguments;
        int status;
        std::vector<std::vector<std::string>> lines;  // parts of each line, in order
        std::string err;
    };
    const Case cases[] = {
        {"--history",
         0,
         {{"\t命令行\t", "book.pdf 第2页\t", "SCANNED PAGE"},
          {"\t命令行\t", "second.png\t", "MEETING NOTES"},
          {"\t命令行\t", "first.png\t", "INVOICE 2024"}},
         ""},
        {"--history contents", 1, {}, ""},
        {"--history invoice", 0, {{"first.png\tINVOICE 2024"}}, ""},
        {"--history NOTES eet", 0, {{"second.png\tMEETING NOTES"}}, ""},
        {"--history 2024 NOTES", 1, {}, ""},
        {"--history --txt", 2, {}, "--history takes only the words"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const OcrRun run = Ocr(c.arguments);
        EXPECT_EQ(c.status, run.status) << run.out << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos;
             at = end + 1) {
            lines.push_back(run.out.substr(at, end - at));
        }
        ASSERT_EQ(lines.size(), c.lines.size()) << run.out;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 3) << lines[i];
            for (const std::string& part : c.lines[i])
                EXPECT_NE(lines[i].find(part), std::string::npos) << part << " in " << lines[i];
        }
    }
}

// Codes are read as the desktop client's switch says (on at first), and as
// --codes and --no-codes say whatever the switch.
TEST_F(OcrCommandTest, CodesAreReadAsTheSwitchOrTheOptionSays) {
    const std::string payload = "https://example.cn/cli?码=1";
    ASSERT_TRUE(test::PageWithCode(1300, 420, test::QrCode(payload, 5), 20, 40,
                                   {QStringLiteral("SCAN ME")}, 400, 20)
                    .save(QString::fromStdString(Work("both.png"))));
    const std::string both = "[二维码] " + payload + "\nSCAN ME\n";
    const std::string settings = m_fixture.dataFolder() + "config.ini";
    struct Case {
        const char* what;
        std::string switchValue;  // "readcodes" in the settings file; empty: no key
        std::string options;
        bool codes;
    };
    const Case cases[] = {
        {"at first", "", "", true},
        {"switched off", "0", "", false},
        {"switched off, asked for", "0", "--codes", true},
        {"switched on", "1", "", true},
        {"switched on, declined", "1", "--no-codes", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(
            settings,
            "[KSOCRInfo]\nchannel=10001\n" +
                (c.switchValue.empty() ? std::string() : "readcodes=" + c.switchValue + "\n"));
        const OcrRun run = Ocr(c.options + " both.png");
        EXPECT_EQ(run.status, 0) << run.err;
        if (c.codes) {
            EXPECT_EQ(run.out, both);
        } else {
            EXPECT_NE(run.out.find("SCAN ME"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find(payload), std::string::npos) << run.out;
        }
    }
}

}  // namespace
}  // namespace kelsor
