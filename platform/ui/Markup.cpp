#include "platform/ui/Markup.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include "platform/ui/SkinArchive.h"

namespace kelsor::ui {

QString MarkupNode::Attribute(const QString& name, const QString& fallback) const {
    for (const auto& [key, value] : attributes) {
        if (key == name)
            return value;
    }
    return fallback;
}

const MarkupNode* MarkupNode::Child(const QString& childTag) const {
    for (const auto& c : children) {
        if (c.tag == childTag)
            return &c;
    }
    return nullptr;
}

std::optional<MarkupNode> ParseMarkup(const QByteArray& xml, QString* error) {
    QXmlStreamReader reader(xml);
    std::vector<MarkupNode> stack;
    std::optional<MarkupNode> root;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            MarkupNode node;
            node.tag = reader.name().toString();
            node.line = reader.lineNumber();
            for (const auto& a : reader.attributes())
                node.attributes.emplace_back(a.name().toString(), a.value().toString());
            stack.push_back(std::move(node));
        } else if (reader.isEndElement()) {
            MarkupNode done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty())
                root = std::move(done);
            else
                stack.back().children.push_back(std::move(done));
        }
    }
    if (reader.hasError()) {
        if (error != nullptr)
            *error =
                QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
        return std::nullopt;
    }
    if (!root && error != nullptr)
        *error = QStringLiteral("no root element");
    return root;
}

static std::optional<std::vector<int>> ParseInts(const QString& value) {
    std::vector<int> out;
    const QStringList parts = value.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (const QString& p : parts) {
        bool ok = false;
        const int v = p.trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
        out.push_back(v);
    }
    return out;
}

std::optional<QMargins> ParseMargins(const QString& value) {
    auto v = ParseInts(value);
    if (!v || v->empty() || v->size() > 4)
        return std::nullopt;
    v->resize(4, 0);
    return QMargins((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

std::optional<QRect> ParseLtrb(const QString& value) {
    auto m = ParseMargins(value);
    if (!m)
        return std::nullopt;
    return QRect(QPoint(m->left(), m->top()), QPoint(m->right() - 1, m->bottom() - 1));
}

std::optional<QSize> ParseSize(const QString& value) {
    auto v = ParseInts(value);
    if (!v || v->size() != 2)
        return std::nullopt;
    return QSize((*v)[0], (*v)[1]);
}

std::optional<QColor> ParseColor(const QString& value) {
    QString s = value.trimmed();
    if (s.startsWith(QLatin1Char('#')))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        s.remove(0, 2);
    bool ok = false;
    const uint v = s.toUInt(&ok, 16);
    if (!ok || (s.size() != 6 && s.size() != 8))
        return std::nullopt;
    QColor c = QColor::fromRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    c.setAlpha(s.size() == 8 ? static_cast<int>((v >> 24) & 0xFF) : 255);
    return c;
}

std::optional<bool> ParseBool(const QString& value) {
    if (value == QLatin1String("true"))
        return true;
    if (value == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<int> ParseInt(const QString& value) {
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

ImageRef ParseImageRef(const QString& value) {
    ImageRef ref;
    const QString text = value.trimmed();
    if (text.isEmpty())
        return ref;
    if (!text.contains(QLatin1Char('='))) {
        ref.file = text.startsWith(QLatin1Char('/')) ? text : SkinArchive::Normalise(text);
        ref.valid = true;
        return ref;
    }
    static const QRegularExpression kPair(QStringLiteral(R"((\w+)\s*=\s*'([^']*)')"));
    // Anything left beside the key='value' pairs (an unclosed quote, a bare
    // word) makes the reference untrustworthy.
    QString rest = text;
    rest.remove(kPair);
    bool ok = rest.trimmed().isEmpty();
    auto it = kPair.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        const QString key = m.captured(1);
        const QString val = m.captured(2);
        if (key == QLatin1String("file")) {
            ref.file = val.startsWith(QLatin1Char('/')) ? val : SkinArchive::Normalise(val);
        } else if (key == QLatin1String("source")) {
            ref.source = ParseLtrb(val);
            ok = ok && ref.source.has_value();
        } else if (key == QLatin1String("dest")) {
            ref.dest = ParseLtrb(val);
            ok = ok && ref.dest.has_value();
        } else if (key == QLatin1String("corner")) {
            const auto c = ParseMargins(val);
            ok = ok && c.has_value();
            if (c)
                ref.corner = *c;
        } else if (key == QLatin1String("fade")) {
            const auto f = ParseInt(val);
            ok = ok && f.has_value();
            if (f)
                ref.fade = *f;
        } else {
            ok = false;  // unknown key: the reference is not trusted
        }
    }
    ref.valid = ok && !ref.file.isEmpty();
    return ref;
}

}  // namespace kelsor::ui
