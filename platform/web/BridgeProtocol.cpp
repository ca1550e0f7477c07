#include "platform/web/BridgeProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QUrl>

namespace kelsor::platform::bridge {
namespace {

// A JavaScript string literal of s (JSON string syntax is valid script).
QString JsLiteral(const QString& s) {
    const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    const QString text = QString::fromUtf8(array);
    return text.mid(1, text.size() - 2);
}

std::optional<QJsonObject> ParseObject(const std::wstring& payload) {
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QString::fromStdWString(payload).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return std::nullopt;
    }
    return doc.object();
}

// The page script. Captured built-ins keep the bridge working when a page
// replaces prompt or JSON later on.
constexpr const char* kScriptHead = R"JS((function () {
  "use strict";
  var ask = window.prompt.bind(window), encode = JSON.stringify;
  var CALL = %1, OPEN = %2, HERE = %3;
  function bind(name, declared) {
    var fn = function () {
      var args = [];
      for (var i = 0; i < arguments.length; i++) args.push(String(arguments[i]));
      var answer = ask(CALL, encode({ f: name, a: args }));
      return answer === null ? undefined : answer;
    };
    Object.defineProperty(fn, "length", { value: declared });
    Object.defineProperty(window, name, { value: fn, writable: false, configurable: false });
  }
  function openHere(url, name) {
    return ask(OPEN, encode({ url: url, name: name })) === HERE;
  }
  window.open = function (url, name) {
    var target = (url === undefined || url === null || url === "") ? "about:blank"
                 : new URL(String(url), location.href).href;
    var frame = (name === undefined || name === null) ? "" : String(name);
    if (openHere(target, frame)) { location.href = target; return window; }
    return null;
  };
  window.addEventListener("click", function (e) {
    if (e.defaultPrevented || !e.target || !e.target.closest) return;
    var link = e.target.closest("a[target]");
    if (!link || !link.href) return;
    var frame = link.getAttribute("target");
    if (frame === "" || frame === "_self" || frame === "_top" || frame === "_parent") return;
    e.preventDefault();
    if (openHere(link.href, frame)) location.href = link.href;
  }, false);
)JS";

}  // namespace

std::wstring BuildPageScript(const std::vector<BoundFunction>& functions) {
    QString script = QString::fromUtf8(kScriptHead)
                         .arg(JsLiteral(QString::fromUtf8(kCallMarker)),
                              JsLiteral(QString::fromUtf8(kOpenMarker)),
                              JsLiteral(QString::fromUtf8(kOpenHere)));
    for (const BoundFunction& f : functions) {
        script += QStringLiteral("  bind(%1, %2);\n")
                      .arg(JsLiteral(QString::fromStdWString(f.name)))
                      .arg(f.declaredArgs);
    }
    script += QStringLiteral("})();\n");
    return script.toStdWString();
}

std::optional<Call> ParseCall(const std::wstring& payload) {
    const auto object = ParseObject(payload);
    if (!object || !object->value("f").isString() || !object->value("a").isArray()) {
        return std::nullopt;
    }
    Call call;
    call.function = object->value("f").toString().toStdWString();
    for (const QJsonValue& v : object->value("a").toArray()) {
        if (!v.isString()) {
            return std::nullopt;
        }
        call.args.push_back(v.toString().toStdWString());
    }
    return call;
}

std::optional<OpenRequest> ParseOpenRequest(const std::wstring& payload) {
    const auto object = ParseObject(payload);
    if (!object || !object->value("url").isString() || !object->value("name").isString()) {
        return std::nullopt;
    }
    return OpenRequest{object->value("url").toString().toStdWString(),
                       object->value("name").toString().toStdWString()};
}

bool SameOrigin(const std::wstring& url, const std::wstring& origin) {
    const QUrl a(QString::fromStdWString(url));
    const QUrl b(QString::fromStdWString(origin));
    if (!a.isValid() || !b.isValid() || a.scheme().isEmpty() || a.host().isEmpty()) {
        return false;
    }
    const auto defaultPort = [](const QUrl& u) {
        const QString scheme = u.scheme().toLower();
        return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

}  // namespace kelsor::platform::bridge
