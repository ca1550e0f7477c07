#pragma once

#include <QByteArray>
#include <QColor>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// The plain tree a layout file is parsed into before any widget exists, and
// the parsers of the attribute value forms the layouts use.
namespace kelsor::ui {

struct MarkupNode {
    QString tag;
    std::vector<std::pair<QString, QString>> attributes;  // in document order
    std::vector<MarkupNode> children;
    qint64 line = 0;

    // The value of an attribute, or `fallback` when it is absent.
    QString Attribute(const QString& name, const QString& fallback = QString()) const;
    // The first child with this tag, or null.
    const MarkupNode* Child(const QString& childTag) const;
};

// Parses layout XML into a tree. On malformed XML returns nothing and sets
// `error` to a message naming the line.
std::optional<MarkupNode> ParseMarkup(const QByteArray& xml, QString* error);

// "file='main\a.png' source='0,0,110,94' dest='..' corner='..'" or a bare path.
struct ImageRef {
    QString file;                 // archive path with '/' separators, or an absolute disk path
    std::optional<QRect> source;  // pixel rectangle in the image file
    std::optional<QRect> dest;    // rectangle inside the control
    QMargins corner;              // nine-slice margins
    int fade = 255;
    bool valid = false;
};
ImageRef ParseImageRef(const QString& value);

// "l,t,r,b" into left/top/right/bottom; missing parts are 0. Returns nothing
// on non-numeric input.
std::optional<QMargins> ParseMargins(const QString& value);
// "l,t,r,b" as a rectangle from (l,t) to (r,b) exclusive.
std::optional<QRect> ParseLtrb(const QString& value);
std::optional<QSize> ParseSize(const QString& value);
// "#AARRGGBB", "#RRGGBB" (with or without '#', also "0xAARRGGBB").
std::optional<QColor> ParseColor(const QString& value);
std::optional<bool> ParseBool(const QString& value);
std::optional<int> ParseInt(const QString& value);

}  // namespace kelsor::ui
