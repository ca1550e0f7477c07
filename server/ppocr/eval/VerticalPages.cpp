#include "server/ppocr/eval/VerticalPages.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <opencv2/freetype.hpp>
#include <opencv2/imgproc.hpp>

#include "server/layout/ChinesePunctuation.h"

namespace kelsor::server::ppocr {
namespace {

// Horizontal punctuation and the vertical form set in a column.
const std::map<std::string, std::string>& VerticalForms() {
    static const std::map<std::string, std::string> forms = {
        {"，", "︐"}, {"、", "︑"}, {"。", "︒"}, {"：", "︓"}, {"；", "︔"}, {"！", "︕"},
        {"？", "︖"}, {"（", "︵"}, {"）", "︶"}, {"「", "﹁"}, {"」", "﹂"}, {"『", "﹃"},
        {"』", "﹄"}, {"《", "︽"}, {"》", "︾"}, {"〈", "︿"}, {"〉", "﹀"}, {"【", "︻"},
        {"】", "︼"}, {"…", "︙"},  {"—", "︱"},
    };
    return forms;
}

// Punctuation a vertical page holds; quotation marks are set as corner
// brackets in columns.
bool IsPagePunctuation(const std::string& c) {
    return VerticalForms().contains(c);
}

bool IsIdeograph(const std::string& c) {
    if (c.size() != 3) {
        return false;
    }
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(c[i]); };
    const char32_t cp = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
    return cp >= 0x4E00 && cp <= 0x9FFF;
}

// Common characters of the poems in their traditional form (unambiguous
// pairs only).
const std::map<std::string, std::string>& Traditional() {
    static const std::map<std::string, std::string> table = [] {
        const std::string pairs =
            "乡鄉马馬别別坟墳泪淚无無云雲断斷对對门門长長风風东東来來时時为為见見归歸开開鸟鳥"
            "书書问問远遠还還岁歲飞飛声聲处處与與梦夢闻聞尽盡将將边邊万萬乐樂阳陽楼樓灯燈树樹"
            "阴陰红紅绿綠头頭谁誰话話说說语語车車军軍关關汉漢国國亲親欢歡难難应應吴吳买買卖賣"
            "钟鐘银銀钱錢杨楊桥橋骑騎题題须須顾顧惊驚鸡雞黄黃龙龍凤鳳乌烏鱼魚师師学學觉覺观觀"
            "听聽从從众眾会會传傳伤傷忆憶怀懷恋戀诗詩读讀谈談请請让讓过過进進运運连連迟遲随隨"
            "离離杂雜鸣鳴烟煙馆館饮飲实實宁寧宽寬寻尋层層岭嶺当當点點阔闊间間这這们們两兩丽麗"
            "严嚴临臨举舉乱亂争爭亚亞产產亿億个個义義习習仅僅仪儀价價优優伟偉体體侠俠侣侶帘簾"
            "横橫泽澤浅淺涛濤渔漁湾灣满滿滚滾烛燭爷爺猎獵独獨环環珠珠琼瓊画畫疏疏尘塵莺鶯荡蕩"
            "蝉蟬衔銜衣衣袅裊觅覓赵趙轻輕辞辭逊遜邻鄰郑鄭钓釣铁鐵锁鎖闭閉阵陣陈陳险險隐隱雁雁"
            "霁霽静靜须須顷頃领領频頻颜顏飘飄饥饑驱驅驿驛鬓鬢鹤鶴黯黯齐齊岂豈恼惱悬懸荣榮庙廟";
        std::map<std::string, std::string> t;
        const auto characters = layout::Utf8Characters(pairs);
        for (std::size_t i = 0; i + 1 < characters.size(); i += 2) {
            if (characters[i] != characters[i + 1]) {
                t[characters[i]] = characters[i + 1];
            }
        }
        return t;
    }();
    return table;
}

// Where `text` drawn at `origin` on a `width` x `height` canvas leaves ink.
cv::Rect InkBox(cv::freetype::FreeType2& font, const std::string& text, int pixelHeight,
                cv::Point origin, int width, int height) {
    cv::Mat canvas(height, width, CV_8UC3, cv::Scalar::all(0));
    font.putText(canvas, text, origin, pixelHeight, cv::Scalar::all(255), -1, cv::LINE_AA, false);
    cv::Mat grey;
    cv::cvtColor(canvas, grey, cv::COLOR_RGB2GRAY);
    return cv::boundingRect(grey);
}

// The ink centre of an ideograph drawn at the origin: where every character
// of the page is centred in its cell, so that punctuation keeps its corner.
cv::Point2d IdeographCentre(cv::freetype::FreeType2& font, int height) {
    const cv::Rect ink =
        InkBox(font, "国", height, cv::Point(height, height), 4 * height, 4 * height);
    return {ink.x + ink.width / 2.0 - height, ink.y + ink.height / 2.0 - height};
}

// Draws `text` with its ink centred on `centre`.
void PutCentred(cv::freetype::FreeType2& font, cv::Mat& canvas, const std::string& text, int height,
                cv::Point2d centre) {
    int baseline = 0;
    const cv::Size size = font.getTextSize(text, height, -1, &baseline);
    const cv::Rect ink = InkBox(font, text, height, cv::Point(2 * height, 2 * height),
                                size.width + 4 * height, size.height + 4 * height);
    const cv::Point origin(
        static_cast<int>(std::lround(centre.x - (ink.x + ink.width / 2.0 - 2 * height))),
        static_cast<int>(std::lround(centre.y - (ink.y + ink.height / 2.0 - 2 * height))));
    font.putText(canvas, text, origin, height, cv::Scalar(0, 0, 0), -1, cv::LINE_AA, false);
}

}  // namespace

std::string VerticalForm(const std::string& character) {
    const auto found = VerticalForms().find(character);
    return found == VerticalForms().end() ? character : found->second;
}

bool RenderVerticalPage(const std::vector<std::string>& columns, const FontFace& face,
                        const VerticalPageOptions& options, DecodedPicture& picture,
                        std::string& error) {
    try {
        cv::Ptr<cv::freetype::FreeType2> font = cv::freetype::createFreeType2();
        font->loadFontData(face.file, face.index);
        const int em = options.pixelHeight;
        std::size_t rows = 1;
        for (const std::string& column : columns) {
            rows = std::max(rows, layout::Utf8Characters(column).size());
        }
        const double characterStep = options.characterStep * em;
        const double columnStep = options.columnStep * em;
        const int margin = 2 * em;
        const int bandHeight = 3 * em;  // a title or footer and the white below or above it
        const int top = margin + (options.title.empty() ? 0 : bandHeight);
        const int bodyWidth = static_cast<int>(std::ceil(columns.size() * columnStep));
        const int bodyHeight = static_cast<int>(std::ceil(rows * characterStep));
        int titleWidth = 0;
        for (const std::string* line : {&options.title, &options.footer}) {
            int baseline = 0;
            if (!line->empty()) {
                titleWidth =
                    std::max(titleWidth, font->getTextSize(*line, em, -1, &baseline).width);
            }
        }
        const int width = std::max(bodyWidth, titleWidth) + 2 * margin;
        const int height = top + bodyHeight + margin + (options.footer.empty() ? 0 : bandHeight);
        cv::Mat canvas(height, width, CV_8UC3, cv::Scalar(255, 255, 255));
        const cv::Point2d centre = IdeographCentre(*font, em);
        const double right = (width + bodyWidth) / 2.0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double x = right - (static_cast<double>(c) + 0.5) * columnStep;
            const auto characters = layout::Utf8Characters(columns[c]);
            for (std::size_t r = 0; r < characters.size(); ++r) {
                const std::string glyph =
                    options.verticalPunctuation ? VerticalForm(characters[r]) : characters[r];
                const double y = top + (static_cast<double>(r) + 0.5) * characterStep;
                // Every glyph sits where an ideograph of its cell would: the
                // punctuation keeps its corner of the cell.
                const cv::Point origin(static_cast<int>(std::lround(x - centre.x)),
                                       static_cast<int>(std::lround(y - centre.y)));
                font->putText(canvas, glyph, origin, em, cv::Scalar(0, 0, 0), -1, cv::LINE_AA,
                              false);
            }
        }
        if (!options.title.empty()) {
            PutCentred(*font, canvas, options.title, em, {width / 2.0, margin + em * 0.75});
        }
        if (!options.footer.empty()) {
            PutCentred(*font, canvas, options.footer, em,
                       {width / 2.0, height - margin - em * 0.75});
        }
        picture.width = width;
        picture.height = height;
        picture.rgb.assign(canvas.data, canvas.data + canvas.total() * 3);
    } catch (const cv::Exception& e) {
        error = std::string("cannot render with ") + face.file + ": " + e.what();
        return false;
    }
    return true;
}

bool BuildVerticalPageSet(const std::vector<std::string>& chinese,
                          const std::set<std::string>& known, int count,
                          std::vector<EvalSample>& set, std::string& error, bool cut) {
    const auto faces = ChineseFaces();
    if (faces.empty()) {
        error = "no Chinese font for the vertical pages";
        return false;
    }
    const auto readable = [&](const std::vector<std::string>& characters) {
        return std::all_of(characters.begin(), characters.end(), [&](const std::string& c) {
            return (IsIdeograph(c) || IsPagePunctuation(c)) && (known.empty() || known.contains(c));
        });
    };
    // Lines of the poems ("…，…。"), their titles ("《…》") and the prose,
    // quotation marks set as corner brackets as columns have them.
    std::vector<std::string> poemLines, titles;
    std::vector<std::string> prose;
    for (std::string line : chinese) {
        for (const auto& [from, to] : std::map<std::string, std::string>{
                 {"“", "「"}, {"”", "」"}, {"‘", "『"}, {"’", "』"}}) {
            for (std::size_t at = line.find(from); at != std::string::npos;
                 at = line.find(from, at)) {
                line.replace(at, from.size(), to);
            }
        }
        const auto characters = layout::Utf8Characters(line);
        if (line.starts_with("《") && line.ends_with("》") && characters.size() <= 10 &&
            readable(characters)) {
            titles.push_back(line);
        } else if (!readable(characters) || characters.size() < 6) {
            continue;
        } else if (line.find("，") != std::string::npos && characters.size() <= 24 &&
                   (line.ends_with("。") || line.ends_with("？") || line.ends_with("！"))) {
            poemLines.push_back(line);
        } else {
            prose.insert(prose.end(), characters.begin(), characters.end());
        }
    }
    if (poemLines.empty() || prose.empty()) {
        error = "no Chinese text for the vertical pages";
        return false;
    }
    static const int heights[] = {24, 28, 32, 36, 40};
    std::size_t nextPoem = 0, nextProse = 0, nextTitle = 0;
    for (int i = 0; i < count; ++i) {
        const bool poem = i % 2 == 0;
        const bool traditional = (i / 2) % 3 == 1;
        const bool punctuation = i % 3 != 2;
        const std::size_t columnCount = 2 + static_cast<std::size_t>(i * 5) % 11;
        const std::size_t rows = 8 + static_cast<std::size_t>(i * 3) % 11;
        std::vector<std::vector<std::string>> columns;
        for (std::size_t c = 0; c < columnCount; ++c) {
            std::vector<std::string> column;
            if (poem) {
                column = layout::Utf8Characters(poemLines[nextPoem++ % poemLines.size()]);
            } else {
                for (std::size_t r = 0; r < rows; ++r) {
                    column.push_back(prose[nextProse++ % prose.size()]);
                }
            }
            columns.push_back(std::move(column));
        }
        EvalSample sample;
        sample.language = cut ? "vertical-tight" : "vertical-page";
        std::vector<std::string> texts;
        for (auto& column : columns) {
            std::string text;
            for (const std::string& c : column) {
                if (!punctuation && IsPagePunctuation(c)) {
                    continue;
                }
                const auto t = traditional ? Traditional().find(c) : Traditional().end();
                text += t != Traditional().end() && (known.empty() || known.contains(t->second))
                            ? t->second
                            : c;
            }
            if (!text.empty()) {
                texts.push_back(text);
            }
        }
        VerticalPageOptions options;
        options.columns = static_cast<int>(texts.size());
        options.pixelHeight = heights[(i / 2) % 5];
        options.characterStep = (cut ? 1.25 : 1.0) + 0.05 * (i % 5);
        options.columnStep = (cut ? 1.9 : 1.4) + 0.15 * (i % 4);
        options.verticalPunctuation = i % 5 < 3;
        if (i % 3 == 0 && !titles.empty()) {
            options.title = titles[nextTitle++ % titles.size()];
            sample.lines.push_back(options.title);
        }
        sample.lines.insert(sample.lines.end(), texts.begin(), texts.end());
        if (i % 7 == 3) {
            // A page number under the body.
            options.footer = "第" + std::string(i % 2 == 0 ? "三" : "十二") + "页";
            sample.lines.push_back(options.footer);
        }
        if (!RenderVerticalPage(texts, faces[static_cast<std::size_t>(i) % faces.size()], options,
                                sample.picture, error)) {
            return false;
        }
        if (cut) {
            sample.picture = CutAroundInk(sample.picture, (3 * i) % 16, (7 * i + 2) % 16,
                                          (5 * i + 4) % 16, (11 * i + 1) % 16);
        }
        set.push_back(std::move(sample));
    }
    return true;
}

}  // namespace kelsor::server::ppocr
