// Build-time tool: renders the skin's SVG sources to PNG strips and GIF
// animations as the manifest says, then packs them with the layouts into
// one zip (deflate, UTF-8 names).
//
//   kelsor_skin_build <skin source dir> <work dir> <output zip>
//
// Manifest lines (skin/images.txt), fields separated by '|':
//   png | <archive path> | <template.svg> | <state w> | <state h> | <keys> | <states>
//   gif | <archive path> | <template.svg> | <w> | <h> | <keys> | frames=N,delay=D
// <keys> and each ';'-separated state are ','-separated key=value pairs that
// replace "$key" in the template; states are drawn side by side.
#include <zip.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

using Keys = std::map<QString, QString>;

Keys ParseKeys(const QString& text) {
    Keys keys;
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0)
            keys[pair.left(eq).trimmed()] = pair.mid(eq + 1).trimmed();
    }
    return keys;
}

QString ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

// Replaces "$key" by value, longest keys first so that $gx is not taken for $g.
QString Substitute(QString text, const Keys& keys) {
    std::vector<std::pair<QString, QString>> sorted(keys.begin(), keys.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    for (const auto& [k, v] : sorted)
        text.replace(QLatin1Char('$') + k, v);
    return text;
}

bool RenderState(const QString& svgDir, const QString& tmpl, Keys keys, int w, int h, QPainter& p,
                 int x) {
    // Defaults so that every placeholder of a template is replaced.
    const std::pair<const char*, const char*> defaults[] = {
        {"bg", "none"}, {"bgo", "1"},     {"bd", "none"},    {"bdo", "1"}, {"r", "0"},
        {"sw", "2"},    {"fw", "normal"}, {"fg", "#666666"}, {"text", ""}};
    for (const auto& [k, v] : defaults) {
        if (!keys.count(QLatin1String(k)))
            keys[QLatin1String(k)] = QLatin1String(v);
    }
    if (!keys.count(QStringLiteral("tc")))
        keys[QStringLiteral("tc")] = keys[QStringLiteral("fg")];
    keys[QStringLiteral("w")] = QString::number(w);
    keys[QStringLiteral("h")] = QString::number(h);
    keys[QStringLiteral("cx")] = QString::number(w / 2.0);
    keys[QStringLiteral("cy")] = QString::number(h / 2.0);
    keys[QStringLiteral("rw")] = QString::number(w - 1);
    keys[QStringLiteral("rh")] = QString::number(h - 1);
    const double fs =
        keys.count(QStringLiteral("fs")) ? keys[QStringLiteral("fs")].toDouble() : 13.0;
    keys[QStringLiteral("fs")] = QString::number(fs);
    if (!keys.count(QStringLiteral("tx")))
        keys[QStringLiteral("tx")] = QString::number(w / 2.0);
    if (!keys.count(QStringLiteral("ty")))
        keys[QStringLiteral("ty")] = QString::number(h / 2.0 + fs * 0.36);
    const double gsize =
        keys.count(QStringLiteral("gsize")) ? keys[QStringLiteral("gsize")].toDouble() : 16.0;
    if (!keys.count(QStringLiteral("gx")))
        keys[QStringLiteral("gx")] = QString::number((w - gsize) / 2.0);
    if (!keys.count(QStringLiteral("gy")))
        keys[QStringLiteral("gy")] = QString::number((h - gsize) / 2.0);
    keys[QStringLiteral("gs")] = QString::number(gsize / 24.0);
    QString text = ReadText(svgDir + QLatin1Char('/') + tmpl);
    if (keys.count(QStringLiteral("glyph"))) {
        const QString glyph = ReadText(svgDir + QStringLiteral("/glyphs/") +
                                       keys[QStringLiteral("glyph")] + QStringLiteral(".svg"));
        text.replace(QStringLiteral("$glyph"), glyph);
    } else {
        text.replace(QStringLiteral("$glyph"), QString());
    }
    text = Substitute(text, keys);
    QSvgRenderer svg(text.toUtf8());
    if (!svg.isValid()) {
        std::fprintf(stderr, "invalid SVG from %s\n", qPrintable(tmpl));
        return false;
    }
    svg.render(&p, QRectF(x, 0, w, h));
    return true;
}

// One stored file of the archive, deflated at the highest level under a fixed
// date, so that the same sources give the same archive.
bool AddToZip(zipFile zip, const QString& path, const QString& name) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    zip_fileinfo info{};
    info.tmz_date = {0, 0, 0, 1, 0, 2020};  // 2020-01-01
    constexpr uLong kUtf8Names = 1u << 11;
    if (zipOpenNewFileInZip4_64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                                nullptr, Z_DEFLATED, 9, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, 0, kUtf8Names, 0) != ZIP_OK)
        return false;
    const bool written =
        zipWriteInFileInZip(zip, bytes.constData(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && written;
}

bool Zip(const QString& stage, const QString& out) {
    QFile::remove(out);
    zipFile zip = zipOpen64(out.toUtf8().constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    QStringList files;
    QDirIterator it(stage, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(stage).relativeFilePath(it.next());
    files.sort();  // a stable archive from the same sources
    for (const QString& rel : files) {
        if (!AddToZip(zip, stage + QLatin1Char('/') + rel, rel)) {
            std::fprintf(stderr, "zip: cannot add %s\n", qPrintable(rel));
            zipClose(zip, nullptr);
            return false;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

// One line of images.txt: kind|output|template|width|height|keys|states or
// animation keys.
struct ImageLine {
    QString kind;
    QString out;
    QString tmpl;
    int w = 0;
    int h = 0;
    Keys common;
    QString last;
};

// A strip of `states` (";"-separated key sets), one frame wide each.
bool RenderPngStrip(const QString& svgDir, const ImageLine& line, const QString& target) {
    const QStringList states = line.last.split(QLatin1Char(';'));
    QImage img(line.w * states.size(), line.h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    bool ok = true;
    for (int i = 0; i < states.size(); ++i) {
        Keys keys = line.common;
        for (const auto& [k, v] : ParseKeys(states[i]))
            keys[k] = v;
        ok = RenderState(svgDir, line.tmpl, keys, line.w, line.h, p, i * line.w) && ok;
    }
    p.end();
    return img.save(target, "PNG") && ok;
}

// The keys of frame `i` of `frames`: time, angle, number, bounce and three
// dot phases.
Keys FrameKeys(const Keys& common, int i, int frames) {
    Keys keys = common;
    const double t = static_cast<double>(i) / frames;
    keys[QStringLiteral("t")] = QString::number(t);
    keys[QStringLiteral("a")] = QString::number(360.0 * t);
    keys[QStringLiteral("n")] = QString::number(i);
    keys[QStringLiteral("dy")] = QString::number(3.0 * std::sin(2.0 * M_PI * t));
    for (int k = 0; k < 3; ++k)
        keys[QStringLiteral("o%1").arg(k)] =
            QString::number(((i + frames - k * frames / 3) % frames) < frames / 3 ? 1.0 : 0.3);
    return keys;
}

// An animation: frames rendered to PNG in the work folder, joined by convert.
bool RenderGif(const QString& svgDir, const QString& work, const ImageLine& line,
               const QString& target) {
    const Keys anim = ParseKeys(line.last);
    const int frames =
        anim.count(QStringLiteral("frames")) ? anim.at(QStringLiteral("frames")).toInt() : 12;
    const QString delay = anim.count(QStringLiteral("delay")) ? anim.at(QStringLiteral("delay"))
                                                              : QStringLiteral("8");
    const QString frameDir = work + QStringLiteral("/frames/") +
                             QString(line.out).replace(QLatin1Char('/'), QLatin1Char('_'));
    QDir(frameDir).removeRecursively();
    QDir().mkpath(frameDir);
    QStringList args = {QStringLiteral("-delay"),   delay,
                        QStringLiteral("-loop"),    QStringLiteral("0"),
                        QStringLiteral("-dispose"), QStringLiteral("previous")};
    bool ok = true;
    for (int i = 0; i < frames; ++i) {
        QImage img(line.w, line.h, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        ok = RenderState(svgDir, line.tmpl, FrameKeys(line.common, i, frames), line.w, line.h, p,
                         0) &&
             ok;
        p.end();
        const QString frame = frameDir + QStringLiteral("/%1.png").arg(i, 3, 10, QLatin1Char('0'));
        img.save(frame, "PNG");
        args << frame;
    }
    args << target;
    if (QProcess::execute(QStringLiteral("/usr/bin/convert"), args) != 0) {
        std::fprintf(stderr, "convert failed for %s\n", qPrintable(line.out));
        ok = false;
    }
    return ok;
}

// Renders every image of the manifest into `stage`; false when any failed.
bool RenderImages(const QString& skin, const QString& work, const QString& stage) {
    const QString svgDir = skin + QStringLiteral("/svg");
    QFile manifest(skin + QStringLiteral("/images.txt"));
    if (!manifest.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no manifest\n");
        return false;
    }
    QTextStream in(&manifest);
    int lineNo = 0;
    bool ok = true;
    while (!in.atEnd()) {
        const QString text = in.readLine().trimmed();
        ++lineNo;
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = text.split(QLatin1Char('|'));
        if (f.size() != 7) {
            std::fprintf(stderr, "images.txt:%d: expected 7 fields\n", lineNo);
            ok = false;
            continue;
        }
        const ImageLine line{f[0].trimmed(),
                             f[1].trimmed(),
                             f[2].trimmed(),
                             f[3].trimmed().toInt(),
                             f[4].trimmed().toInt(),
                             ParseKeys(f[5]),
                             f[6]};
        const QString target = stage + QLatin1Char('/') + line.out;
        QDir().mkpath(QFileInfo(target).path());
        if (line.kind == QLatin1String("png")) {
            ok = RenderPngStrip(svgDir, line, target) && ok;
        } else if (line.kind == QLatin1String("gif")) {
            ok = RenderGif(svgDir, work, line, target) && ok;
        } else {
            std::fprintf(stderr, "images.txt:%d: unknown kind\n", lineNo);
            ok = false;
        }
    }
    return ok;
}

// Layouts go to the archive root.
bool CopyLayouts(const QString& skin, const QString& stage) {
    bool ok = true;
    for (const QString& name :
         QDir(skin + QStringLiteral("/layouts")).entryList({QStringLiteral("*.xml")}, QDir::Files))
        ok = QFile::copy(skin + QStringLiteral("/layouts/") + name,
                         stage + QLatin1Char('/') + name) &&
             ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <skin dir> <work dir> <out zip>\n", argv[0]);
        return 2;
    }
    const QString skin = QString::fromLocal8Bit(argv[1]);
    const QString work = QString::fromLocal8Bit(argv[2]);
    const QString outZip = QString::fromLocal8Bit(argv[3]);
    const QString stage = work + QStringLiteral("/stage");
    QDir(stage).removeRecursively();
    QDir().mkpath(stage);
    // Both run whatever the other's outcome, so every fault is reported.
    const bool images = RenderImages(skin, work, stage);
    const bool layouts = CopyLayouts(skin, stage);
    if (!images || !layouts)
        return 1;
    return Zip(stage, outZip) ? 0 : 1;
}
