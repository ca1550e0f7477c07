#pragma once

#include <QColor>
#include <QHash>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/ui/Markup.h"
#include "platform/ui/UiTypes.h"

// Attribute tables: each control class maps the attribute names of the
// markup to setters, so an attribute is one line of its class's table. A
// setter parses the value with the form its type names (the parsers of
// Markup.h) and applies it; a value that does not parse is refused.
namespace kelsor::ui {

// The value form of the layouts for each type a setter takes.
template <class T>
std::optional<T> ParseValue(const QString& value) {
    if constexpr (std::is_same_v<T, QString>)
        return value;
    else if constexpr (std::is_same_v<T, CDuiString>)
        return value.toStdWString();
    else if constexpr (std::is_same_v<T, bool>)
        return ParseBool(value);
    else if constexpr (std::is_same_v<T, int>)
        return ParseInt(value);
    else if constexpr (std::is_same_v<T, QColor>)
        return ParseColor(value);
    else if constexpr (std::is_same_v<T, QMargins>)
        return ParseMargins(value);
    else if constexpr (std::is_same_v<T, QSize>)
        return ParseSize(value);
    else if constexpr (std::is_same_v<T, QRect>)
        return ParseLtrb(value);
    else
        static_assert(!sizeof(T*), "the layouts have no value form for this type");
}

template <class C>
class AttributeTable {
public:
    // Parses and applies a value; false when it does not parse.
    using Setter = std::function<bool(C&, const QString&)>;

    AttributeTable(std::initializer_list<std::pair<QString, Setter>> entries) {
        for (const auto& [name, setter] : entries)
            m_setters.insert(name, setter);
    }

    // Whether the value was taken, for a name of the table; nothing for a
    // name the table does not know (the base class's table may).
    std::optional<bool> Apply(C& target, const QString& name, const QString& value) const {
        const auto it = m_setters.constFind(name);
        if (it == m_setters.constEnd())
            return std::nullopt;
        return (*it)(target, value);
    }

private:
    QHash<QString, Setter> m_setters;
};

namespace attr {

// A value of type T handed to `apply(target, value)`.
template <class T, class F>
auto Parsed(F apply) {
    return [apply](auto& target, const QString& text) {
        const std::optional<T> value = ParseValue<T>(text);
        if (!value)
            return false;
        apply(target, *value);
        return true;
    };
}

// A member function taking the parsed value.
template <class C, class T>
auto Call(void (C::*set)(T)) {
    return Parsed<std::decay_t<T>>([set](C& target, const auto& value) { (target.*set)(value); });
}

// A member variable; a widget repaints with the new value.
template <class C, class T>
auto Field(T C::*field) {
    return Parsed<T>([field](C& target, const T& value) {
        target.*field = value;
        if constexpr (std::is_base_of_v<QWidget, C>)
            target.update();
    });
}

// Accepted in the markup when it parses as T, without effect here.
template <class T>
auto Ignored() {
    return [](auto&, const QString& text) { return ParseValue<T>(text).has_value(); };
}

}  // namespace attr
}  // namespace kelsor::ui
