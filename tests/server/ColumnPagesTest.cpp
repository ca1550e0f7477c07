// Reading order and paragraphs on rendered column pages: in the engine, and
// through a kelsor-server started here and the client's recognition road.
#include "LocalService.h"
#include "TempFolder.h"
#include "cloud/RecognizePictureText.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/LayoutScore.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

// Pages 0, 2, 7 and 11 of the set: Chinese and English, two and three
// columns, a heading, a footer, pages skewed by 2 and 3 degrees; page 4,
// whose gutters of 1.5 em the detector runs lines across, and pages 5, 2
// and 10 set with gutters of one em (beside those of the Chinese pages the
// lines are mostly indented first lines and short last lines).
struct PageCase {
    std::size_t index;
    double gutterEms;  // 0: the set's own
};
const PageCase kPages[] = {{0, 0.0}, {2, 0.0}, {7, 0.0}, {11, 0.0},
                           {4, 0.0}, {5, 1.0}, {2, 1.0}, {10, 1.0}};

std::vector<ColumnPage> Pages(int linesPerColumn = 0) {
    std::vector<ColumnPage> chosen;
    for (const PageCase& page : kPages) {
        std::vector<ColumnPage> all;
        std::string error;
        EXPECT_TRUE(BuildColumnPages(static_cast<int>(page.index) + 1, all, error, linesPerColumn,
                                     page.gutterEms))
            << error;
        chosen.push_back(all.at(page.index));
    }
    return chosen;
}

void ExpectReadLikeTheTruth(const LayoutScore& score, const std::string& what) {
    EXPECT_LE(Percent(score.readingOrder), 2.0) << what;
    EXPECT_GE(Precision(score.breaks), 0.9) << what;
    EXPECT_GE(Recall(score.breaks), 0.9) << what;
}

}  // namespace

TEST(ColumnPages, EngineReadsColumnByColumnAndTheParagraphsStay) {
    std::string error;
    std::unique_ptr<RecognitionEngine> engine = CreateDefaultPpOcrEngine(error);
    ASSERT_TRUE(engine) << error;
    LayoutScore total;
    for (const ColumnPage& page : Pages()) {
        std::vector<TextBlock> lines;
        const LayoutScore score = ScoreColumnPage(*engine, page, lines);
        // Page-wide rows interleave the columns.
        EXPECT_GT(Percent(score.rowOrder), 30.0) << page.language << " " << page.columns;
        total.Add(score);
    }
    ExpectReadLikeTheTruth(total, "engine");
}

TEST(ColumnPages, ScannedPageComesBackInOrderThroughTheService) {
    kelsor::test::TempFolder dir;
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(
        service.StartSignedIn(KELSOR_SERVER_EXE, dir.path() + "/", {"--engines", "1"}, error))
        << error;
    // A short page: the client gives the service 20 seconds, also on a busy
    // machine.
    const ColumnPage page = Pages(6).front();
    const DecodedPicture& p = page.picture;
    cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data())), bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    ASSERT_TRUE(cv::imwrite(dir.file("scan.jpg"), bgr, {cv::IMWRITE_JPEG_QUALITY, 75}));

    const std::string edited =
        kelsor::RecognizePictureText(kelsor::EditPriority, dir.wide("scan.jpg"));
    const std::string lines =
        kelsor::RecognizePictureText(kelsor::FormatPriority, dir.wide("scan.jpg"));
    LayoutScore score;
    score.readingOrder = CountErrors(ColumnReference(page), lines);
    score.breaks = CountParagraphBreaks(page, edited);
    ExpectReadLikeTheTruth(score, edited);
}
