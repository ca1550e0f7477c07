// Capture through the desktop portal, against a stand-in portal on a private
// session bus: what each answer (picture, refusal, silence, a bad picture)
// becomes, and a whole capture over a portal picture.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include "PageTestSupport.h"
#include "StandInPortal.h"
#include "pages/CScreenShotWnd.h"
#include "pages/ScreenGrabPortal.h"

using namespace kelsor;
namespace text = kelsor::jobs::portal_text;

namespace {

// The offscreen platform's screen.
QSize Screen() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

// Red left, blue right, the size of the screen.
QImage HalvesPicture() {
    return pagetest::TwoColourPicture(Screen().width(), Screen().height(), Qt::red, Qt::blue);
}

QWidget* CaptureHost() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("ScreenShotWndClass") && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

// Once the capture window is up, the first press selects the whole screen
// and a double click finishes.
void FinishWholeScreenWhenShown(QObject* context) {
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, [poll] {
        QWidget* host = CaptureHost();
        if (host == nullptr) {
            return;
        }
        poll->stop();
        for (auto type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
            QMouseEvent e(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(host, &e);
        }
    });
    poll->start(10);
}

class PortalCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const bool started = !bus().empty();  // before Qt asks for the session bus
        uitest::EnsureApp();
        if (!started) {
            GTEST_SKIP() << "dbus-daemon did not start";
        }
    }
    static const std::string& bus() { return test::ProcessSessionBus(); }
    QString Uri(const QString& name, const QImage& picture) const {
        const QString path = temp.path() + QLatin1Char('/') + name;
        picture.save(path);
        return QUrl::fromLocalFile(path).toString();
    }
    static jobs::ScreenGrab Grab(int timeoutMs = jobs::kPortalTimeoutMs) {
        return jobs::GrabThroughPortal(QDBusConnection::sessionBus(), timeoutMs);
    }

    QTemporaryDir temp;
};

TEST_F(PortalCaptureTest, ThePicturesAnswerIsReadAndATemporaryFileRemoved) {
    test::StandInPortal portal(bus());
    ASSERT_TRUE(portal.Registered());
    const QString uri = Uri(QStringLiteral("shot.png"), HalvesPicture());
    portal.SetScreenshotAnswer({0u, {{QStringLiteral("uri"), uri}}});
    const jobs::ScreenGrab grab = Grab();
    EXPECT_TRUE(grab.failure.empty());
    ASSERT_EQ(grab.image.size(), Screen());
    EXPECT_EQ(grab.geometry, QRect(QPoint(0, 0), Screen()));
    EXPECT_EQ(QColor(grab.image.pixel(10, 10)), QColor(Qt::red));
    EXPECT_EQ(QColor(grab.image.pixel(Screen().width() - 10, 10)), QColor(Qt::blue));
    EXPECT_FALSE(QFile::exists(QUrl(uri).toLocalFile()));

    // Asked the way the portal wants: not interactive, our token, the
    // Response subscribed on the path that token makes.
    EXPECT_EQ(portal.lastMethod, QStringLiteral("Screenshot"));
    ASSERT_EQ(portal.lastArguments.size(), 2);
    const QVariantMap options = qdbus_cast<QVariantMap>(portal.lastArguments[1]);
    EXPECT_EQ(options.value(QStringLiteral("interactive")), QVariant(false));
    EXPECT_TRUE(options.value(QStringLiteral("handle_token")).toString().startsWith("kelsor"));
}

TEST_F(PortalCaptureTest, AFileOutsideTheTemporaryFolderStays) {
    test::StandInPortal portal(bus());
    const QString uri = Uri(QStringLiteral("kept.png"), HalvesPicture());
    const QByteArray before = qgetenv("TMPDIR");
    QDir(temp.path()).mkdir(QStringLiteral("tmp"));
    qputenv("TMPDIR", (temp.path() + QStringLiteral("/tmp")).toUtf8());
    portal.SetScreenshotAnswer({0u, {{QStringLiteral("uri"), uri}}});
    const jobs::ScreenGrab grab = Grab();
    qputenv("TMPDIR", before);
    EXPECT_FALSE(grab.image.isNull());
    EXPECT_TRUE(QFile::exists(QUrl(uri).toLocalFile()));
}

TEST_F(PortalCaptureTest, EveryFailureIsANullPictureWithItsReason) {
    struct Case {
        const char* name;
        bool portal;
        test::StandInPortal::Answer answer;
        const wchar_t* failure;
    };
    const QString notPicture = Uri(QStringLiteral("text.png"), QImage());
    test::WriteFile(QUrl(notPicture).toLocalFile().toStdString(), "not a picture");
    const Case cases[] = {
        {"no portal on the bus", false, {}, text::kNoPortal},
        {"cancelled", true, {1u, {}}, text::kCancelled},
        {"refused", true, {2u, {}}, text::kRefused},
        {"no answer", true, {std::nullopt, {}}, text::kTimedOut},
        {"no uri", true, {0u, {}}, text::kBadPicture},
        {"a web address",
         true,
         {0u, {{QStringLiteral("uri"), QStringLiteral("https://example.com/shot.png")}}},
         text::kBadPicture},
        {"a missing file",
         true,
         {0u, {{QStringLiteral("uri"), QStringLiteral("file:///nonexistent/shot.png")}}},
         text::kBadPicture},
        {"not a picture", true, {0u, {{QStringLiteral("uri"), notPicture}}}, text::kBadPicture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<test::StandInPortal> portal;
        if (c.portal) {
            portal.emplace(bus());
            portal->SetScreenshotAnswer(c.answer);
        }
        const jobs::ScreenGrab grab = Grab(300);
        EXPECT_TRUE(grab.image.isNull());
        EXPECT_EQ(grab.failure, c.failure);
    }
}

TEST_F(PortalCaptureTest, AWaylandCaptureSelectsOnThePortalsPicture) {
    test::StandInPortal portal(bus());
    const QByteArray before = qgetenv("XDG_SESSION_TYPE");
    qputenv("XDG_SESSION_TYPE", "wayland");
    const std::wstring target = temp.path().toStdWString() + L"/screenocrfile.jpg";
    for (const auto& [answer, written] :
         {std::pair{test::StandInPortal::Answer{2u, {}}, false},
          std::pair{
              test::StandInPortal::Answer{
                  0u, {{QStringLiteral("uri"), Uri(QStringLiteral("s.png"), HalvesPicture())}}},
              true}}) {
        SCOPED_TRACE(written ? "picture" : "refusal");
        portal.SetScreenshotAnswer(answer);
        jobs::CScreenShotWnd capture;
        QObject context;
        FinishWholeScreenWhenShown(&context);
        EXPECT_EQ(capture.RunCapture(target), written ? 1 : 0);
        EXPECT_EQ(capture.GrabFailure(), written ? L"" : text::kRefused);
        const QImage jpeg(QString::fromStdWString(target));
        ASSERT_EQ(jpeg.isNull(), !written);
        if (written) {
            EXPECT_EQ(jpeg.size(), Screen());
            EXPECT_GT(qRed(jpeg.pixel(10, 10)), 200);
            EXPECT_LT(qBlue(jpeg.pixel(10, 10)), 60);
            EXPECT_GT(qBlue(jpeg.pixel(jpeg.width() - 10, 10)), 200);
        }
    }
    qputenv("XDG_SESSION_TYPE", before);
}

}  // namespace
